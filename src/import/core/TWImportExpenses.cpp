#include "import/core/TWImportExpenses.h"

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
    const auto &lines = m_importSettings->importFields();
    TWImportWorkRun run(*m_business, *m_importSettings, qint32(TWExpenseField::Cost));
    TWImportWorkRows &reader = run.reader;
    qint32 nextExpense = m_business->nextExpenseIdentifier();
    // Without a quantity column every expense is one of its kind: a quantity
    // of 0 would make every total 0.00.
    const bool quantityMapped = run.codes.contains(qint32(TWExpenseField::Quantity));

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
            reader.readRow(row, run.codes, lines, shared,
                           [&](qint32 code, const QString &value, const TWImportWorkField &line) {
                               switch (TWExpenseField(code)) {
                               case TWExpenseField::Name:
                                   TWImportWorkRows::append(name, value);
                                   return true;
                               case TWExpenseField::Quantity:
                                   quantity = reader.number(value, line.sourceName());
                                   return true;
                               case TWExpenseField::Cost:
                                   // Read once the project, and with it the currency, is known.
                                   costText = value;
                                   return true;
                               case TWExpenseField::TaxRate:
                                   taxRate = reader.number(value, line.sourceName(), true);
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
        const TWImportWorkRun::Placed placed = run.place(shared, costText);
        m_expenses.append(TWExpense::expenseWithDate(
            shared.date, name, quantity, placed.money, taxRate, notes,
            placed.project ? placed.project->identifier() : 0, nextExpense++));
    }

    const QString text = run.warnings("expenseValuesNotRead");
    if (warnings)
        *warnings = text;
    return text.isNull();
}
