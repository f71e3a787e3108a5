// The per-account tables: the trial balance and the custom currency fields.

#include "reports/engine/TWExportReport.h"

#include "foundation/TWLocalized.h"
#include "model/TWField.h"
#include "model/TWPreferences.h"

using namespace Qt::StringLiterals;

TWCellList TWExportReport::cellsTrialBalance()
{
    TWCellList cells;
    cells.reserve(1024);
    TWBusiness &business = *m_business;
    const bool compare = comparing();

    const QHash<qint32, qint64> balances = business.transactionTotals(m_fromDate);
    const QHash<qint32, qint64> compareBalances =
        compare ? business.transactionTotals(m_compareFromDate) : QHash<qint32, qint64>();
    const TWAccountList accounts = orderedAccounts(business.accounts(), balances);

    cells.append(cellsHeader());
    cells.append(cellsTableHeader());

    const auto heading = [&](const char *key, quint32 justify) {
        addCell(cells, TWLocalized(key), TWCellStyleBold, justify, TWCellTypeText, true, true);
    };
    heading("account", TWCellJustifyLeft);
    for (int i = 0; i < (compare ? 2 : 1); ++i) {
        heading("debit", TWCellJustifyCenter);
        heading("credit", TWCellJustifyCenter);
    }
    nextRow();

    qint64 debit = 0, credit = 0, compareDebit = 0, compareCredit = 0;
    if (!balances.isEmpty() || (compare && !compareBalances.isEmpty())) {
        for (const TWAccountPtr &account : accounts) {
            const qint64 amount = balances.value(account->identifier());
            const qint64 compareAmount = compare ? compareBalances.value(account->identifier()) : 0;
            if (amount == 0 && compareAmount == 0)
                continue;
            const bool isDebit = TWBusiness::isAccountDebitPositive(*account);
            addCell(cells, account->name(), TWCellStylePlain, TWCellJustifyLeft, TWCellTypeText);
            // The amount in its side's column; the other column stays empty.
            const auto place = [&](qint64 value, qint64 &debitTotal, qint64 &creditTotal) {
                if (!isDebit)
                    ++m_column;
                addMoney(cells, value, TWCellStylePlain);
                if (isDebit)
                    ++m_column;
                (isDebit ? debitTotal : creditTotal) += value;
            };
            place(amount, debit, credit);
            if (compare)
                place(compareAmount, compareDebit, compareCredit);
            nextRow();
        }
    }
    addCell(cells, TWLocalized("total"), TWCellStyleBold, TWCellJustifyLeft, TWCellTypeText);
    const quint32 totalStyle = TWCellStyleBold + TWCellStyleDoubleUnderline;
    addMoney(cells, debit, totalStyle);
    addMoney(cells, credit, totalStyle);
    if (compare) {
        addMoney(cells, compareDebit, totalStyle);
        addMoney(cells, compareCredit, totalStyle);
    }
    nextRow();

    if (m_report->showGraphs()) {
        for (const bool debitSide : {true, false}) {
            TWDataSetValueList values;
            TWGraphRange<qint64> range;
            for (const TWAccountPtr &account : accounts) {
                if (TWBusiness::isAccountDebitPositive(*account) != debitSide)
                    continue;
                const qint64 amount = balances.value(account->identifier());
                if (amount == 0)
                    continue;
                values.append(TWDataSetValue(account->name(), double(amount), {}));
                range.add(amount);
            }
            const QString title = TWLocalized(debitSide ? "accountsDebit" : "accountsCredit");
            addGraph(cells,
                     makeGraph(graphTitle(title), {TWDataSet(QString(), values)},
                               yAxisTotalValues(range.minimum, range.maximum), TWGraphTypeBar));
        }
    }
    finish(cells);
    return cells;
}

TWCellList TWExportReport::cellsCustomCurrencyFields()
{
    TWCellList cells;
    cells.reserve(1024);
    TWBusiness &business = *m_business;
    const bool compare = comparing();

    QSet<qint32> fieldsWithValues;
    const TWCurrencyFieldTotals totals =
        business.customCurrencyFieldTotals(m_fromDate, m_toDate, &fieldsWithValues);
    const TWCurrencyFieldTotals compareTotals =
        compare ? business.customCurrencyFieldTotals(m_compareFromDate, m_compareToDate)
                : TWCurrencyFieldTotals();

    // The store lists every currency field; a field gets a section when some
    // transaction in the report period carries a value of it, also when its
    // values net to 0 on every account. Accounts are ordered by their sums
    // over all fields.
    QList<qint32> fieldIdentifiers;
    QHash<qint32, qint64> accountSums;
    for (auto field = totals.constBegin(); field != totals.constEnd(); ++field) {
        for (auto it = field->constBegin(); it != field->constEnd(); ++it)
            accountSums[it.key()] += it.value();
        if (fieldsWithValues.contains(field.key()))
            fieldIdentifiers.append(field.key());
    }
    QHash<qint32, TWFieldPtr> fields;
    for (const qint32 identifier : fieldIdentifiers)
        fields.insert(identifier, business.fieldWithIdentifier(identifier));
    std::sort(fieldIdentifiers.begin(), fieldIdentifiers.end());
    std::stable_sort(fieldIdentifiers.begin(), fieldIdentifiers.end(), [&](qint32 a, qint32 b) {
        const TWFieldPtr &fa = fields.value(a);
        const TWFieldPtr &fb = fields.value(b);
        if (!fa || !fb)
            return bool(fa) && !fb;
        return fa->compare(*fb) < 0;
    });
    const auto fieldName = [&](qint32 identifier) {
        const TWFieldPtr field = fields.value(identifier);
        return field ? field->name() : QString();
    };
    const TWAccountList accounts = orderedAccounts(business.accounts(), accountSums);

    cells.append(cellsHeader());
    cells.append(cellsTableHeader());

    for (const qint32 identifier : fieldIdentifiers) {
        addAccountSection(cells, fieldName(identifier), accounts, totals.value(identifier),
                          compareTotals.value(identifier), TWLocalized("total"),
                          TWCellStyleBold + TWCellStyleDoubleUnderline);
    }

    if (m_report->showGraphs()) {
        TWDataSetValueList bars;
        TWGraphRange<qint64> range;
        for (const qint32 identifier : fieldIdentifiers) {
            qint64 sum = 0;
            for (const qint64 value : totals.value(identifier))
                sum += value;
            bars.append(TWDataSetValue(fieldName(identifier), double(sum), {}));
            range.add(sum);
        }
        addGraph(cells, barGraph({TWDataSet(QString(), bars)},
                                 yAxisTotalValues(range.minimum, range.maximum)));
        for (const qint32 identifier : fieldIdentifiers)
            addGraph(cells,
                     pieGraph(fieldName(identifier),
                              pieDataSetFromAccountValues(totals.value(identifier), accounts)));
    }
    finish(cells);
    return cells;
}
