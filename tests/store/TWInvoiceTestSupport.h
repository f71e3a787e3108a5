#pragma once
// A new business with its default chart of accounts, one client with a
// project, one merchant, and helpers that store invoices, bills and ledger
// entries linked to them, for the invoice, bill and owing tests.

#include "TWPackageTestSupport.h"
#include "TWStoreTestSupport.h"
#include "TWTestSupport.h"
#include "store/TWBusiness.h"
#include "store/TWTransactionEditing.h"

#include <gtest/gtest.h>

// Accounts of the default chart.
constexpr qint32 kBank = 100;
constexpr qint32 kReceivable = 105;
constexpr qint32 kPayable = 108;
constexpr qint32 kSales = 109;
constexpr qint32 kSalesTax = 132;
constexpr qint32 kAdvertising = 111;

struct TWInvoiceBook {
    std::unique_ptr<TWBusiness> business;
    TWClientPtr client;
    TWProjectPtr project;
    TWMerchantPtr merchant;

    TWBusiness &b() { return *business; }
    TWAccountPtr account(qint32 identifier) { return business->accountWithIdentifier(identifier); }

    TWInvoicePtr addInvoice(const QString &name, const QDateTime &dueDate = {},
                            const TWProjectPtr &onProject = nullptr)
    {
        const TWProjectPtr owner = onProject ? onProject : project;
        auto invoice = TWInvoice::invoiceWithDate(
            twLocal(2024, 6, 1), QStringLiteral("N-1"), name, false, false, dueDate, 0, QString(),
            owner->identifier(), business->nextInvoiceIdentifier());
        EXPECT_OK(business->addInvoice(invoice, false));
        return invoice;
    }

    TWBillPtr addBill(const QString &name, const QDateTime &dueDate = {})
    {
        auto bill =
            TWBill::billWithDate(twLocal(2024, 6, 1), name, false, false, dueDate, 0, QString(),
                                 merchant->identifier(), business->nextBillIdentifier());
        EXPECT_OK(business->addBill(bill, false));
        return bill;
    }

    // A plain transaction moving `total` (home unit) from account 2 into
    // account 1, stored and linked whole to the invoice or the bill.
    template <class Record>
    TWTransactionPtr addEntry(const Record &record, const QDateTime &date, qint32 account1,
                              qint32 account2, qint64 total)
    {
        TWTransactionPtr t = twNewTransaction(*business);
        t->setDate(date);
        t->setAccount1Identifier(account1);
        t->setAccount2Identifier(account2);
        t->setUnit(business->homeUnit());
        t->setTotal(total);
        twUpdateTotals(*t, TWTotalTypeTotal, TWTotalTypeAll, *business);
        EXPECT_OK(business->addTransaction(t, false, false, false, false));
        link(t, record);
        return t;
    }
    void link(const TWTransactionPtr &t, const TWInvoicePtr &invoice)
    {
        link(t, TWRelationshipTypeInvoicePayment, invoice->projectIdentifier(),
             invoice->identifier());
    }
    void link(const TWTransactionPtr &t, const TWBillPtr &bill)
    {
        link(t, TWRelationshipTypeBillPayment, bill->merchantIdentifier(), bill->identifier());
    }
    void link(const TWTransactionPtr &t, std::uint32_t type, qint32 parent, qint32 child)
    {
        EXPECT_OK(business->addRelationship(
            TWRelationship::relationshipWithType(type, 0.0, parent, child, t->identifier(), 0,
                                                 business->nextRelationshipIdentifier()),
            false));
    }
};

inline TWInvoiceBook twInvoiceBook()
{
    TWInvoiceBook book;
    book.business = twNewBusiness();
    if (!book.business)
        return book;
    TWBusiness &b = *book.business;
    book.client = TWClient::clientWithIdentifier(b.nextClientIdentifier(), QStringLiteral("Ada"),
                                                 QStringLiteral("Acme"), 0, 0, QImage(), {}, {}, {},
                                                 QUrl(), {}, {});
    EXPECT_OK(b.addClient(book.client, false));
    book.project = TWProject::projectWithDate(twLocal(2024, 1, 1), false, QStringLiteral("Site"),
                                              TWProjectTypeProject, {}, {}, 0,
                                              b.unitWithCode(QStringLiteral("USD")), 0.0, {},
                                              book.client->identifier(), b.nextProjectIdentifier());
    EXPECT_OK(b.addProject(book.project, false));
    book.merchant = TWMerchant::merchantWithIdentifier(
        b.nextMerchantIdentifier(), QStringLiteral("Bob"), QStringLiteral("Paper Co"), 0, 0,
        QImage(), {}, {}, {}, QUrl(), {}, {});
    EXPECT_OK(b.addMerchant(book.merchant, false));
    return book;
}

inline qint64 twCount(TWBusiness &b, const QString &sql)
{
    return twQueryInt(b, sql).value_or(-1);
}

// 2025 closed, 2026 open, closing into the first equity account; the closing
// entries of 2025 made.
inline void twCloseTwentyTwentyFive(TWBusiness &b)
{
    for (const TWAccountPtr &account : b.accounts()) {
        if (account->accountType() == TWAccountTypeEquity) {
            b.businessInfo()->setNominalTransferAccountIdentifier(account->identifier());
            break;
        }
    }
    b.businessInfo()->setAccountingPeriods(
        {TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2025"), twLocal(2025, 1, 1),
                                                      twLocal(2025, 12, 31), true, 300),
         TWAccountingPeriod::accountingPeriodWithName(QStringLiteral("2026"), twLocal(2026, 1, 1),
                                                      twLocal(2026, 12, 31), false, 301)});
    EXPECT_OK(b.updateTransactionStates());
    EXPECT_OK(b.updateNominalTransferTransactions());
}

inline QStringList twTransferRows(const TWBusiness &b)
{
    QStringList rows;
    for (const TWTransactionPtr &t : b.transactions()) {
        if (t->type() == TWTransactionTypeNominal)
            rows.append(QStringLiteral("%1 %2 %3")
                            .arg(t->identifier())
                            .arg(t->account1Identifier())
                            .arg(t->total()));
    }
    return rows;
}
