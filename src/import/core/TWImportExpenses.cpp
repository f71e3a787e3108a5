#include "import/core/TWImportExpenses.h"

#include "import/core/TWImportWarnings.h"
#include "import/core/TWImportWorkRows.h"
#include "model/TWWorkFields.h"
#include "store/TWBusiness.h"

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
    TWImportProjects(*m_business)
        .missing(m_rows, TWImportWorkRows::codesOf(m_importSettings), false, clients, projects);
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
    // Without a quantity column every expense is one of its kind: a quantity
    // of 0 would make every total 0.00.
    const bool quantityMapped = codes.contains(qint32(TWExpenseField::Quantity));
    QString costColumn;
    for (qsizetype j = 0; j < codes.size(); ++j) {
        if (codes.at(j) == qint32(TWExpenseField::Cost) && lines.at(j))
            costColumn = lines.at(j)->sourceName();
    }

    qsizetype rowNumber = 0;
    for (const QStringList &row : std::as_const(m_rows)) {
        reader.setRowNumber(++rowNumber);
        TWImportWorkRows::Shared shared;
        QString name;
        QString notes;
        QString costText;
        double quantity = quantityMapped ? 0 : 1;
        double taxRate = 0;
        const bool changed =
            reader.readRow(row, codes, lines, shared, [&](qint32 code, const QString &value) {
                switch (TWExpenseField(code)) {
                case TWExpenseField::Name:
                    TWImportWorkRows::append(name, value);
                    return true;
                case TWExpenseField::Quantity:
                    quantity = TWImportWarnings::leadingDouble(value);
                    return true;
                case TWExpenseField::Cost:
                    // Read once the project, and with it the currency, is known.
                    costText = value;
                    return true;
                case TWExpenseField::TaxRate:
                    taxRate = TWImportWarnings::leadingDouble(value);
                    return true;
                case TWExpenseField::Notes:
                    TWImportWorkRows::append(notes, value);
                    return true;
                default:
                    return false;
                }
            });
        if (!changed)
            continue;
        const TWProjectPtr project = projects.rowProject(shared.clientText, shared.projectText,
                                                         m_importSettings->defaultProject(),
                                                         missingClients, missingProjects);
        const qint64 cost = costText.isEmpty() ? 0 : reader.amount(costText, project, costColumn);
        m_expenses.append(TWExpense::expenseWithDate(shared.date, name, quantity, cost, taxRate,
                                                     notes, project ? project->identifier() : 0,
                                                     nextExpense++));
    }

    const QString text = TWImportWarnings::text({{"valuesNotRead", &reader.unreadableValues()},
                                                 {"clientsNotFound", &missingClients},
                                                 {"projectsNotFound", &missingProjects}});
    if (warnings)
        *warnings = text;
    return text.isNull();
}
