#pragma once
// Builds a service URL as text: a base, path components (escaped or not) and query parameters
// ("?" before the first, "&" before the others; a parameter without a value is left out whole).

#include <QString>
#include <QUrl>
#include <QVariant>

class KTBURLBuilder
{
public:
    static KTBURLBuilder URLWithBase(const QString &base);

    void appendComponent(const QString &component);
    void escapeAndAppendComponent(const QString &component);
    // The name is appended as it is; the value (its text for a non-string) escaped.
    void appendValue(const QVariant &value, const QString &queryParam);
    // Invalid when the text does not make a URL.
    QUrl URL() const;
    const QString &string() const { return m_string; }

    // UTF-8 percent escapes of everything a URL does not allow; "&", "=" and "/" stay.
    static QString escape(const QString &text);

private:
    QString m_string;
    int m_queryCount = 0;
};
