#pragma once
// A text the user once typed into a field (a payee, a description, a custom text
// field, a project or bill name, ...), remembered so that editors can offer it
// again for completion.

#include <QList>
#include <QString>

#include <memory>

// The lists of remembered names that belong to no transaction field; the other
// lists are named by the field's identifier (payee -5, description -6, custom
// text fields).
enum TWValueListCode : qint32 {
    TWValueListProjectNames = -50,
    TWValueListTaskNames = -51,
    TWValueListExpenseNames = -52,
    TWValueListInvoiceNames = -53,
    TWValueListBillNames = -100,
};

class TWValue
{
public:
    TWValue() = default;
    TWValue(QString name, qint32 fieldIdentifier, qint32 identifier)
        : m_name(std::move(name)), m_fieldIdentifier(fieldIdentifier), m_identifier(identifier)
    {
    }

    static std::shared_ptr<TWValue> value();
    static std::shared_ptr<TWValue> valueWithName(const QString &name, qint32 fieldIdentifier,
                                                  qint32 identifier);
    std::shared_ptr<TWValue> copy() const { return std::make_shared<TWValue>(*this); }

    // The remembered text.
    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    // The list it belongs to: a field identifier or a TWValueListCode.
    qint32 fieldIdentifier() const { return m_fieldIdentifier; }
    void setFieldIdentifier(qint32 code) { m_fieldIdentifier = code; }
    qint32 identifier() const { return m_identifier; }
    void setIdentifier(qint32 identifier) { m_identifier = identifier; }

    // The same record when the identifiers are equal.
    bool isEqual(const TWValue &other) const { return m_identifier == other.m_identifier; }
    // By name, case-sensitively.
    int compare(const TWValue &other) const;

private:
    QString m_name;
    qint32 m_fieldIdentifier = 0;
    qint32 m_identifier = 0;
};

using TWValuePtr = std::shared_ptr<TWValue>;
using TWValueList = QList<TWValuePtr>;
