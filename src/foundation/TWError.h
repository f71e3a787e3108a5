#pragma once
// An error record handed back by operations that can fail: a domain naming the
// product area, an integer code and a localised description for the user.

#include <QString>

#include <optional>

class TWError
{
public:
    TWError() = default;
    TWError(QString domain, qint64 code, QString description)
        : m_domain(std::move(domain)), m_code(code), m_description(std::move(description))
    {
    }

    const QString &domain() const { return m_domain; }
    qint64 code() const { return m_code; }
    const QString &localizedDescription() const { return m_description; }

    bool operator==(const TWError &other) const = default;

private:
    QString m_domain;
    qint64 m_code = 0;
    QString m_description;
};

// Empty on success.
using TWErrorResult = std::optional<TWError>;

// A value together with the error that stopped it; `value` is meaningful only
// when `error` is empty.
template <typename T> struct TWResult {
    T value{};
    std::optional<TWError> error;

    bool ok() const { return !error.has_value(); }
};
