#pragma once
// The task and expense export sheets: CSV, HTML or PDF of the tasks (with
// their time items) or the expenses of the chosen projects, in the chosen
// columns. The two are one sheet apart from their names, settings, store
// query and table.

#include "export/ui/TWExportSheetController.h"

#include "model/TWExportSettings.h"
#include "model/TWProject.h"

class TWExportWorkController : public TWExportSheetController
{
    Q_OBJECT
public:
    enum class Kind { Tasks, Expenses };

    TWExportWorkController(Kind kind, QObject *parent);

    // "csv", "html", "pdf"; empty for another type.
    static QString extension(std::uint32_t fileType);

    Kind kind() const { return m_kind; }
    const std::shared_ptr<TWExportWorkSettings> &exportSettings() const { return m_settings; }
    const TWProjectList &projects() const { return m_projects; }
    const QList<qint32> &fields() const { return m_fields; }

protected:
    QString sheetTitle() const override;
    QList<QPair<QString, int>> fileTypeItems() const override;
    void doFileType(int tag) override;
    QString itemsTitle() const override;
    TWExportChoiceModel::Source itemsSource() override;
    TWExportChoiceModel::Source fieldsSource() override;
    void resetSettings() override;
    bool canExport() const override;
    void exportNow() override;
    std::uint32_t interval() const override { return intervalOf(m_settings.get()); }
    void setInterval(std::uint32_t interval) override { setIntervalOf(m_settings.get(), interval); }
    QDateTime intervalDate(int tag) const override { return intervalDateOf(m_settings.get(), tag); }
    void setIntervalDate(int tag, const QDateTime &date) override
    {
        setIntervalDateOf(m_settings.get(), tag, date);
    }

private:
    QString fieldTitle(qint32 code) const;

    Kind m_kind;
    std::shared_ptr<TWExportWorkSettings> m_settings;
    TWProjectList m_projects;
    QList<qint32> m_fields;
};

class TWExportTasksController final : public TWExportWorkController
{
    Q_OBJECT
public:
    explicit TWExportTasksController(QObject *parent = nullptr)
        : TWExportWorkController(Kind::Tasks, parent)
    {
    }
};

class TWExportExpensesController final : public TWExportWorkController
{
    Q_OBJECT
public:
    explicit TWExportExpensesController(QObject *parent = nullptr)
        : TWExportWorkController(Kind::Expenses, parent)
    {
    }
};
