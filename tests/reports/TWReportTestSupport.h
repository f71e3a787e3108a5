#pragma once
// Books for the report tests: a small business whose statements are worked
// out by hand in the tests, and short ways to read a report's cells by row.

#include "TWBalancesTestSupport.h"
#include "TWExportReport.h"
#include "TWTestSupport.h"

#include <QMap>

#include <ostream>

// Readable failure messages for texts and lists of texts.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

constexpr qint32 kRetained = 111;  // equity, the year-end transfer account
constexpr qint32 kEquipment = 112; // fixed asset

// Two years of books: 2023 (closed into Retained) and 2024. A euro rent
// payment, a split, a loan, an owner's drawing.
inline std::unique_ptr<TWBusiness> twMakeReportBooks(bool nominalAccount = true)
{
    auto business = twMakeFullLedger();
    if (!business)
        return business;
    twExec(*business, "INSERT INTO accounts (identifier, type, name, unit, parentIdentifier, "
                      "sortOrder) VALUES (111, 17, 'Retained', 'USD', 0, 11), "
                      "(112, 6, 'Equipment', 'USD', 0, 12);");
    EXPECT_FALSE(business->loadAccounts());
    EXPECT_FALSE(business->addAccountingPeriod(
        TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2023"), twDay(2023, 1, 1),
                                                     twDay(2023, 12, 31), true, 1),
        false));
    EXPECT_FALSE(business->addAccountingPeriod(
        TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2024"), twDay(2024, 1, 1),
                                                     twDay(2024, 12, 31), false, 2),
        false));
    EXPECT_FALSE(business->loadAccountingPeriods());
    EXPECT_EQ(business->sortedAccountingPeriods().size(), 2);
    business->businessInfo()->setNominalTransferAccountIdentifier(nominalAccount ? kRetained : 0);
    business->businessInfo()->setRetainedEarningsName(QStringLiteral("Retained"));

    const auto nominal = [&](qint32 identifier, qint32 account1, qint32 account2, qint64 total) {
        TWTransactionPtr t =
            twMakeTransaction(*business, identifier, twDay(2023, 12, 31), account1, account2, total);
        t->setType(TWTransactionTypeNominal);
        return t;
    };
    // Rent paid in euros: 1,100.00 EUR cost 1,200.00 USD.
    TWTransactionPtr rent = twMakeTransaction(*business, 3, twDay(2023, 6, 1), kRent, kChecking, 110000);
    rent->setUnit(business->unitWithCode(QStringLiteral("EUR")));
    rent->setTotalAccount2(120000);
    rent->setTotalBusiness(120000);
    TWTransactionList transactions{
        twMakeTransaction(*business, 1, twDay(2023, 1, 5), kChecking, kOwner, 1000000),
        twMakeTransaction(*business, 2, twDay(2023, 3, 1), kChecking, kSales, 500000),
        rent,
        nominal(4, kSales, kRetained, 500000),
        nominal(5, kRetained, kRent, 120000),
        twMakeTransaction(*business, 6, twDay(2024, 2, 1), kReceivable, kFees, 300000),
        twMakeTransaction(*business, 7, twDay(2024, 3, 1), kEquipment, kLoan, 200000),
        twMakeSplitTransaction(*business, 8, twDay(2024, 4, 1),
                               {{kTravel, 30000}, {kChecking, -10000}, {kCard, -20000}}),
        twMakeTransaction(*business, 9, twDay(2024, 5, 1), kChecking, kReceivable, 100000),
        twMakeTransaction(*business, 10, twDay(2024, 6, 1), kOwner, kChecking, 50000),
    };
    if (!twWriteAndLoad(*business, transactions))
        return nullptr;
    return business;
}

inline TWReportPtr twMakeReport(TWReportType type, TWReportDateType dateType,
                                const QDateTime &from, const QDateTime &to, bool compare = false,
                                const QDateTime &compareFrom = {}, const QDateTime &compareTo = {},
                                bool graphs = false)
{
    return TWReport::reportWithIdentifier(100, QString(), 0, 0, type, dateType, from, to, compare,
                                          dateType, compareFrom, compareTo, graphs);
}

// The table's rows as texts: "label|amount|amount" by row, table cells only.
inline QMap<quint32, QString> twTableRows(const TWCellList &cells)
{
    QMap<quint32, QString> rows;
    for (const TWCell &cell : cells) {
        if (!cell.table() || cell.header())
            continue;
        QString &row = rows[cell.row()];
        if (!row.isNull() || cell.column() > 0)
            row += QLatin1Char('|');
        row += cell.value();
    }
    return rows;
}

// The rows in order, without their numbers.
inline QStringList twTableLines(const TWCellList &cells)
{
    return twTableRows(cells).values();
}

inline QList<TWGraphPtr> twGraphs(const TWCellList &cells)
{
    QList<TWGraphPtr> graphs;
    for (const TWCell &cell : cells) {
        if (cell.type() == TWCellTypeGraph)
            graphs.append(cell.rawValue().value<TWGraphPtr>());
    }
    return graphs;
}

// The cell of the first row whose label is `label`, in `column`.
inline const TWCell *twCellAt(const TWCellList &cells, const QString &label, quint32 column)
{
    for (const TWCell &cell : cells) {
        if (cell.column() == 0 && cell.value() == label && cell.table()) {
            for (const TWCell &other : cells) {
                if (other.row() == cell.row() && other.column() == column)
                    return &other;
            }
        }
    }
    return nullptr;
}
