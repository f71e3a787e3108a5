#pragma once
// What one column of a task or expense import file becomes: nothing, or one of
// the fixed task or expense fields (small negative codes), with the date
// format of a date column and, on the client and project columns, whether the
// sheet creates the clients and projects the file names. Lines are remembered
// in the document under the column's name and otherwise guessed from it. The
// task and expense lines differ only in their fields, so they share this.

#include "import/core/TWImportTransactionField.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <memory>

class TWBusiness;
class TWProject;

class TWImportWorkField
{
public:
    enum Kind { Task, Expense };

    const QString &sourceName() const { return m_sourceName; }
    void setSourceName(const QString &v) { m_sourceName = v; }
    quint32 type() const { return m_type; }
    void setType(quint32 v) { m_type = v; }
    qint32 fieldIdentifier() const { return m_fieldIdentifier; }
    void setFieldIdentifier(qint32 v) { m_fieldIdentifier = v; }
    // Null: the user's short date (task items: date and time) format.
    const QString &format() const { return m_format; }
    void setFormat(const QString &v) { m_format = v; }
    bool createIfNeeded() const { return m_createIfNeeded; }
    void setCreateIfNeeded(bool v) { m_createIfNeeded = v; }

    // The stored entry: "type" always; "field" for type 1; "format" on a date
    // column that has one; "createIfNeeded" on the client and project columns.
    QVariantMap settings() const;

    // The field's own code when the line imports it, else 0.
    qint32 activeIdentifier() const
    {
        return m_type == TWImportFieldTypeField ? m_fieldIdentifier : 0;
    }

    // The format a chosen field brings (null: none).
    static QString formatForField(Kind kind, qint32 fieldIdentifier);
    // The localised name of a field code and the codes offered, in order.
    static QString fieldName(Kind kind, qint32 fieldIdentifier);
    static QList<qint32> importFields(Kind kind);

protected:
    TWImportWorkField(Kind kind) : m_kind(kind) {}
    TWImportWorkField(Kind kind, const QString &sourceName, const QVariantMap &stored);

private:
    void guess();

    Kind m_kind;
    QString m_sourceName;
    quint32 m_type = TWImportFieldTypeNone;
    qint32 m_fieldIdentifier = 0;
    QString m_format;
    bool m_createIfNeeded = false;
};

// The mapping lines of one task import.
class TWImportTaskField final : public TWImportWorkField
{
public:
    TWImportTaskField() : TWImportWorkField(Task) {}
    // Restores the stored line of the column ("importTasksSettings") or
    // guesses one; the default project is not used.
    TWImportTaskField(const QString &sourceName, const std::shared_ptr<TWProject> &defaultProject,
                      const TWBusiness &business);
    static std::shared_ptr<TWImportTaskField>
    importTaskFieldWithSourceName(const QString &sourceName,
                                  const std::shared_ptr<TWProject> &defaultProject,
                                  const TWBusiness &business);
};

// The mapping lines of one expense import ("importExpensesSettings").
class TWImportExpenseField final : public TWImportWorkField
{
public:
    TWImportExpenseField() : TWImportWorkField(Expense) {}
    TWImportExpenseField(const QString &sourceName,
                         const std::shared_ptr<TWProject> &defaultProject,
                         const TWBusiness &business);
    static std::shared_ptr<TWImportExpenseField>
    importExpenseFieldWithSourceName(const QString &sourceName,
                                     const std::shared_ptr<TWProject> &defaultProject,
                                     const TWBusiness &business);
};

using TWImportTaskFieldPtr = std::shared_ptr<TWImportTaskField>;
using TWImportExpenseFieldPtr = std::shared_ptr<TWImportExpenseField>;
