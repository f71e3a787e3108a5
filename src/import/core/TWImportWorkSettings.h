#pragma once
// What the task and expense imports share of their mapping: a line per source
// column in column order and the project of rows that name none found.

#include "import/core/TWImportWorkField.h"
#include "model/TWProject.h"

#include <QList>
#include <QVariantMap>

template <typename Line> class TWImportWorkSettings
{
public:
    using LinePtr = std::shared_ptr<Line>;
    using LineList = QList<LinePtr>;

    // Column name -> the line's stored entry; a later line of the same name
    // wins. The sheets merge this into the document's settings.
    QVariantMap settings() const
    {
        QVariantMap map;
        for (const LinePtr &line : m_importFields) {
            if (line)
                map.insert(line->sourceName(), line->settings());
        }
        return map;
    }
    int activeFieldCount() const
    {
        int count = 0;
        for (const LinePtr &line : m_importFields)
            count += line && line->type() != TWImportFieldTypeNone ? 1 : 0;
        return count;
    }
    // The user's choice of target; a date field brings its format, anything
    // else leaves format and createIfNeeded as they were.
    void updateField(Line &line, quint32 type, qint32 fieldIdentifier) const
    {
        line.setType(type);
        line.setFieldIdentifier(fieldIdentifier);
        if (type != TWImportFieldTypeField)
            return;
        const QString format = Line::formatForField(kind(), fieldIdentifier);
        if (!format.isNull())
            line.setFormat(format);
    }

    const TWProjectPtr &defaultProject() const { return m_defaultProject; }
    void setDefaultProject(const TWProjectPtr &v) { m_defaultProject = v; }
    const LineList &importFields() const { return m_importFields; }
    void setImportFields(const LineList &v) { m_importFields = v; }

protected:
    TWImportWorkSettings(const TWProjectPtr &defaultProject, const LineList &importFields)
        : m_defaultProject(defaultProject), m_importFields(importFields)
    {
    }
    virtual ~TWImportWorkSettings() = default;
    virtual TWImportWorkField::Kind kind() const = 0;

private:
    TWProjectPtr m_defaultProject;
    LineList m_importFields;
};
