#include "TWImportExpenses.h"

#include "TWBusiness.h"
#include "TWImportWarnings.h"
#include "TWImportWorkRows.h"

TWImportExpenses::TWImportExpenses(const QList<QStringList> &rows,
                                   const TWImportExpensesSettingsPtr &importSettings,
                                   TWBusiness &business)
    : m_rows(rows), m_importSettings(importSettings), m_business(&business)
{
}

std::shared_ptr<TWImportExpenses>
TWImportExpenses::importExpensesWithRows(const QList<QStringList> &rows,
                                         const TWImportExpensesSettingsPtr &importSettings,
                                         TWBusiness &business)
{
    return std::make_shared<TWImportExpenses>(rows, importSettings, business);
}

void TWImportExpenses::missingClients(QStringList *clients, TWImportMissingProjects *projects)
{
    const QList<qint32> codes = m_importSettings
                                    ? TWImportWorkRows::codes(m_importSettings->importFields())
                                    : QList<qint32>();
    TWImportProjects(*m_business).missing(m_rows, codes, false, clients, projects);
}

bool TWImportExpenses::processExpenses(QString *warnings)
{
    if (warnings)
        *warnings = QString();
    m_expenses.clear();
    if (!m_importSettings)
        return true;
    TWBusiness &business = *m_business;
    const auto &lines = m_importSettings->importFields();
    const QList<qint32> codes = TWImportWorkRows::codes(lines);
    TWImportWorkRows reader(business);
    TWImportProjects projects(business);
    TWImportWarningList missingClients;
    TWImportWarningList missingProjects;
    qint32 nextExpense = business.nextExpenseIdentifier();

    for (const QStringList &row : std::as_const(m_rows)) {
        QDateTime date;
        QString name;
        QString notes;
        QString clientText;
        QString projectText;
        QString costText;
        double quantity = 0;
        double taxRate = 0;
        bool changed = false;
        const qsizetype n = std::min<qsizetype>(row.size(), codes.size());
        for (qsizetype j = 0; j < n; ++j) {
            const QString &value = row.at(j);
            if (value.isEmpty())
                continue;
            switch (codes.at(j)) {
            case -1:
                if (const QDateTime read = reader.date(*lines.at(j), value, false);
                    read.isValid()) {
                    date = read;
                    changed = true;
                }
                break;
            case -2:
                clientText = value;
                changed = true;
                break;
            case -3:
                projectText = value;
                changed = true;
                break;
            case -4:
                name = name.isEmpty() ? value : name + QStringLiteral(" / ") + value;
                changed = true;
                break;
            case -5:
                quantity = TWImportWarnings::leadingDouble(value);
                changed = true;
                break;
            case -6:
                // Read once the project, and with it the currency, is known.
                costText = value;
                changed = true;
                break;
            case -8:
                taxRate = TWImportWarnings::leadingDouble(value);
                changed = true;
                break;
            case -10:
                notes = notes.isEmpty() ? value : notes + QStringLiteral(" / ") + value;
                changed = true;
                break;
            default:
                break;
            }
        }
        if (!changed)
            continue;
        const TWProjectPtr project =
            projects.rowProject(clientText, projectText, m_importSettings->defaultProject(),
                                missingClients, missingProjects);
        const qint64 cost = costText.isEmpty() ? 0 : reader.amount(costText, project);
        m_expenses.append(TWExpense::expenseWithDate(date, name, quantity, cost, taxRate, notes,
                                                     project ? project->identifier() : 0,
                                                     nextExpense++));
    }

    const QString text = TWImportWarnings::text(
        {{"clientsNotFound", &missingClients}, {"projectsNotFound", &missingProjects}});
    if (warnings)
        *warnings = text;
    return text.isNull();
}
