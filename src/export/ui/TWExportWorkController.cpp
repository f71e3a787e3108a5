#include "export/ui/TWExportWorkController.h"

#include "export/core/TWExportFiles.h"
#include "export/core/TWExportWork.h"
#include "export/core/TWSerializerCSV.h"
#include "export/core/TWSerializerHTML.h"
#include "export/core/TWSerializerPDF.h"

#include "app/TWControls.h"
#include "foundation/TWLocalized.h"
#include "model/TWClient.h"
#include "model/TWFormatter.h"
#include "store/TWBusiness.h"

#include <QLabel>

namespace
{

bool containsProject(const TWProjectList &list, const TWProjectPtr &project)
{
    return project && std::any_of(list.cbegin(), list.cend(), [&project](const TWProjectPtr &e) {
               return e && e->identifier() == project->identifier();
           });
}

} // namespace

TWExportWorkController::TWExportWorkController(Kind kind, QObject *parent)
    : TWExportSheetController(parent), m_kind(kind)
{
}

QString TWExportWorkController::extension(std::uint32_t fileType)
{
    static const char *const extensions[] = {"csv", "html", "pdf"};
    return fileType < 3 ? QString::fromLatin1(extensions[fileType]) : QString();
}

QList<QPair<QString, int>> TWExportWorkController::fileTypeItems() const
{
    return {{QStringLiteral("CSV"), int(TWExportFileTypeCSV)},
            {QStringLiteral("HTML"), int(TWExportFileTypeHTML)},
            {QStringLiteral("PDF"), int(TWExportFileTypePDF)}};
}

void TWExportWorkController::doFileType(int tag)
{
    if (m_settings && tag >= 0 && tag <= 2)
        m_settings->setFileType(std::uint32_t(tag));
}

QString TWExportWorkController::itemsTitle() const
{
    return TWLocalized("exportProjects");
}

QString TWExportWorkController::fieldTitle(qint32 code) const
{
    const TWFormatter &formatter = TWFormatter::formatter();
    return m_kind == Kind::Tasks ? formatter.taskFieldString(code)
                                 : formatter.expenseFieldString(code);
}

TWExportChoiceModel::Source TWExportWorkController::itemsSource()
{
    TWExportChoiceModel::Source source;
    source.count = [this] { return int(m_projects.size()); };
    source.title = [this](int i) {
        return m_projects.at(i) && m_business ? m_business->projectTitle(*m_projects.at(i))
                                              : QString();
    };
    source.isChosen = [this](int i) {
        return m_settings && containsProject(m_settings->projects(), m_projects.at(i));
    };
    source.chosenCount = [this] { return m_settings ? int(m_settings->projects().size()) : 0; };
    source.choose = [this](int i, bool on) {
        TWProjectList list = m_settings->projects();
        const TWProjectPtr &project = m_projects.at(i);
        list.removeIf([&project](const TWProjectPtr &e) {
            return !e || (project && e->identifier() == project->identifier());
        });
        if (on)
            list.append(project);
        m_settings->setProjects(list);
    };
    source.chooseAll = [this](bool on) {
        m_settings->setProjects(on ? m_projects : TWProjectList());
    };
    return source;
}

TWExportChoiceModel::Source TWExportWorkController::fieldsSource()
{
    TWExportChoiceModel::Source source;
    source.count = [this] { return int(m_fields.size()); };
    source.title = [this](int i) { return fieldTitle(m_fields.at(i)); };
    source.isChosen = [this](int i) {
        return m_settings && m_settings->fields().contains(m_fields.at(i));
    };
    source.chosenCount = [this] { return m_settings ? int(m_settings->fields().size()) : 0; };
    source.choose = [this](int i, bool on) {
        QList<qint32> list = m_settings->fields();
        list.removeAll(m_fields.at(i));
        if (on)
            list.append(m_fields.at(i));
        m_settings->setFields(list);
    };
    source.chooseAll = [this](bool on) { m_settings->setFields(on ? m_fields : QList<qint32>()); };
    source.move = [this](int from, int to) { return TWExportOrder::move(m_fields, from, to); };
    return source;
}

void TWExportWorkController::resetSettings()
{
    m_projects = m_business ? m_business->sortedProjects() : TWProjectList();
    m_settings.reset();
    QList<qint32> offered;
    if (m_business) {
        if (m_kind == Kind::Tasks) {
            if (m_business->exportTasksSettings())
                m_settings = m_business->exportTasksSettings()->copy();
            offered = TWBusiness::exportTaskFields();
        } else {
            if (m_business->exportExpensesSettings())
                m_settings = m_business->exportExpensesSettings()->copy();
            offered = TWBusiness::exportExpenseFields();
        }
    }
    // The ticked columns first, in their order, then the others.
    m_fields.clear();
    if (m_settings) {
        for (const qint32 code : m_settings->fields()) {
            if (!m_fields.contains(code))
                m_fields.append(code);
        }
    }
    for (const qint32 code : std::as_const(offered)) {
        if (!m_fields.contains(code))
            m_fields.append(code);
    }
    const std::uint32_t fileType = m_settings ? m_settings->fileType() : TWExportFileTypeCSV;
    if (fileType <= TWExportFileTypePDF)
        fileTypePopUpButton()->selectItemWithTag(int(fileType));
}

QString TWExportWorkController::sheetTitle() const
{
    return TWLocalized(m_kind == Kind::Tasks ? "exportTasksTitle" : "exportExpensesTitle");
}

bool TWExportWorkController::canExport() const
{
    return m_settings && !m_settings->projects().isEmpty() && !m_settings->fields().isEmpty();
}

void TWExportWorkController::exportNow()
{
    TWBusiness *business = m_business;
    if (!business || !m_settings)
        return;
    m_settings->setFields(TWExportOrder::sortedByDisplay(m_settings->fields(), m_fields));
    const bool tasks = m_kind == Kind::Tasks;
    const auto taskSettings = std::static_pointer_cast<TWExportTasksSettings>(m_settings);
    const auto expenseSettings = std::static_pointer_cast<TWExportExpensesSettings>(m_settings);
    // From here on it is the stored choice, also when the save panel is cancelled.
    if (tasks)
        business->setExportTasksSettings(taskSettings);
    else
        business->setExportExpensesSettings(expenseSettings);

    const std::uint32_t fileType = m_settings->fileType();
    const TWProjectList projects = m_settings->projects();
    const QString base = TWLocalized(tasks ? "tasksLower" : "expensesLower");
    const QString fileName = base + QStringLiteral(".") + extension(fileType);
    chooseLocationAndWrite(
        fileName, extension(fileType), [=](const QString &path) -> TWErrorResult {
            if (fileType > TWExportFileTypePDF)
                return TWError(QStringLiteral("Tallyworth Export Error"), -1,
                               TWLocalized("exportWriteDescription")
                                   .arg(fileName, TWLocalized("exportNoWriterReason")));
            const bool grouping = fileType != TWExportFileTypeCSV;
            TWCellList cells;
            if (tasks) {
                const TWTaskList items = business->tasksForProjects(
                    &projects, taskSettings->interval(), taskSettings->intervalFromDate(),
                    taskSettings->intervalToDate());
                cells = TWExportTasks::exportTasksWithTasks(items, grouping, taskSettings, business)
                            ->cells();
            } else {
                const TWExpenseList items = business->expensesForProjects(
                    &projects, expenseSettings->interval(), expenseSettings->intervalFromDate(),
                    expenseSettings->intervalToDate());
                cells = TWExportExpenses::exportExpensesWithExpenses(items, grouping,
                                                                     expenseSettings, business)
                            ->cells();
            }
            QByteArray data;
            if (fileType == TWExportFileTypeHTML)
                data = TWSerializerHTML::serializerWithCells(cells)->data();
            else if (fileType == TWExportFileTypePDF)
                data = TWSerializerPDF::serializerWithCells(cells)->data();
            else
                data = TWSerializerCSV::serializerWithCells(cells)->data();
            return TWExportFiles::writeFile(path, base, data);
        });
}
