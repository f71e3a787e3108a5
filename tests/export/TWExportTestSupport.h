#pragma once
// A seeded business for the export suites: a new document in US dollars with
// bank, savings, income, expense, euro and card accounts and a month of
// transactions (a deposit, a payment, a transfer between two bank accounts,
// a split deposit, a euro payment and a card purchase), and small helpers for
// golden files and PDFs read back.

#include "TWTestSupport.h"
#include "store/TWBusiness.h"

#include <QFile>
#include <QPdfDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

constexpr qint32 kChecking = 100;
constexpr qint32 kSavings = 101;
constexpr qint32 kSales = 102;
constexpr qint32 kRent = 103;
constexpr qint32 kEuro = 104;
constexpr qint32 kCard = 105;

inline std::unique_ptr<TWBusiness> twExportBusiness()
{
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setName(QStringLiteral("Export Firm"));
    info->setHomeCurrency(QStringLiteral("USD"));
    info->setCreateDefaultAccounts(false);
    TWErrorResult error;
    auto business = TWBusiness::businessWithBusinessInfo(info, &error);
    EXPECT_TRUE(business);
    EXPECT_OK(error);
    return business;
}

inline TWAccountPtr twAddAccount(TWBusiness &business, qint32 identifier, const QString &name,
                                 TWAccountType type, const QString &unit)
{
    TWAccountPtr account =
        TWAccount::accountWithIdentifier(identifier, name, 0, quint32(identifier), type, QString(),
                                         QImage(), business.unitWithCode(unit), QString());
    EXPECT_OK(business.addAccount(account, false)) << name;
    return business.accountWithIdentifier(identifier);
}

inline TWTransactionPtr twTransaction(TWBusiness &business, qint32 identifier, const QDate &day,
                                      qint32 account1, qint32 account2, qint64 total,
                                      const QString &payee = QString(),
                                      const QString &description = QString())
{
    auto transaction = std::make_shared<TWTransaction>();
    transaction->setIdentifier(identifier);
    transaction->setDate(QDateTime(day, QTime(0, 0)));
    transaction->setAccount1Identifier(account1);
    transaction->setAccount2Identifier(account2);
    transaction->setUnit(business.unitWithCode(QStringLiteral("USD")));
    transaction->setTotal(total);
    transaction->setTotalAccount1(total);
    transaction->setTotalAccount2(total);
    transaction->setTotalBusiness(total);
    transaction->setPayee(payee);
    transaction->setDescription(description);
    return transaction;
}

inline void twStore(TWBusiness &business, const TWTransactionPtr &transaction)
{
    EXPECT_OK(business.addTransaction(transaction, false, false, false, false))
        << transaction->identifier();
}

// The seeded ledger, all in March 2024.
inline std::unique_ptr<TWBusiness> twSeededBusiness()
{
    auto business = twExportBusiness();
    if (!business)
        return business;
    TWBusiness &b = *business;
    TWAccountPtr checking = twAddAccount(b, kChecking, QStringLiteral("Checking"),
                                         TWAccountTypeBank, QStringLiteral("USD"));
    checking->setNumber(QStringLiteral("1010"));
    checking->setIsInstitution(true);
    checking->setInstitutionRoutingTransit(QStringLiteral("021000021"));
    checking->setInstitutionNumber(QStringLiteral("987654"));
    twAddAccount(b, kSavings, QStringLiteral("Savings"), TWAccountTypeBank, QStringLiteral("USD"));
    twAddAccount(b, kSales, QStringLiteral("Sales"), TWAccountTypeIncome, QStringLiteral("USD"));
    twAddAccount(b, kRent, QStringLiteral("Rent"), TWAccountTypeExpense, QStringLiteral("USD"));
    twAddAccount(b, kEuro, QStringLiteral("Euro Bank"), TWAccountTypeBank, QStringLiteral("EUR"));
    twAddAccount(b, kCard, QStringLiteral("Card"), TWAccountTypeCreditCard, QStringLiteral("USD"));

    // A deposit into checking, with a payee full of markup characters and a
    // memo of two lines.
    TWTransactionPtr deposit = twTransaction(b, 1, QDate(2024, 3, 5), kChecking, kSales, 150000,
                                             QStringLiteral("Café O'Brien & Co"),
                                             QStringLiteral("Invoice 12\nsecond line"));
    deposit->setCleared(true);
    twStore(b, deposit);
    // Rent paid out of checking.
    twStore(b, twTransaction(b, 2, QDate(2024, 3, 7), kRent, kChecking, 80000,
                             QStringLiteral("Landlord"), QStringLiteral("March rent")));
    // A transfer of 12.50 from checking to savings.
    twStore(b, twTransaction(b, 3, QDate(2024, 3, 8), kSavings, kChecking, 1250,
                             QStringLiteral("Transfer"), QString()));
    // A split deposit: 100.00 into checking from sales (70.00) and rent (30.00).
    TWTransactionPtr split = twTransaction(b, 4, QDate(2024, 3, 10), 0, 0, 0,
                                           QStringLiteral("Market"), QStringLiteral("Split sale"));
    const TWUnitPtr usd = b.unitWithCode(QStringLiteral("USD"));
    split->setHasSplit(true);
    split->setSplits({TWSplit::splitWithIdentifier(41, QStringLiteral("Takings"), kChecking, 10000,
                                                   10000, 10000, 0, 0, usd),
                      TWSplit::splitWithIdentifier(42, QStringLiteral("Goods"), kSales, -7000,
                                                   -7000, -7000, 0, 0, usd),
                      TWSplit::splitWithIdentifier(43, QStringLiteral("Refund"), kRent, -3000,
                                                   -3000, -3000, 0, 0, usd)});
    twStore(b, split);
    // 100.00 euros into checking, worth 135.00 dollars.
    TWTransactionPtr euros = twTransaction(b, 5, QDate(2024, 3, 12), kChecking, kSales, 10000,
                                           QStringLiteral("Berlin GmbH"), QStringLiteral("Fee"));
    euros->setUnit(b.unitWithCode(QStringLiteral("EUR")));
    euros->setTotalAccount1(13500);
    euros->setTotalAccount2(13500);
    euros->setTotalBusiness(13500);
    twStore(b, euros);
    // A card purchase: the card owes 50.00.
    twStore(b, twTransaction(b, 6, QDate(2024, 3, 14), kRent, kCard, 5000,
                             QStringLiteral("Hardware"), QStringLiteral("Tools")));
    return business;
}

inline QString twReadText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Compares with the golden file; TW_UPDATE_GOLDEN=1 writes it instead.
inline void twExpectGolden(const QString &name, const QByteArray &actual)
{
    const QString path = twTestDataPath(name);
    if (qEnvironmentVariableIntValue("TW_UPDATE_GOLDEN") == 1) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(actual);
        return;
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    EXPECT_EQ(QString::fromUtf8(actual).toStdString(),
              QString::fromUtf8(file.readAll()).toStdString())
        << name;
}

// A PDF read back from bytes (through a temporary file).
class TWPdfReadBack
{
public:
    explicit TWPdfReadBack(const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QStringLiteral("read.pdf"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(bytes);
            file.close();
        }
        m_document.load(path);
    }
    QPdfDocument &document() { return m_document; }
    int pageCount() const { return m_document.pageCount(); }
    // The page's text without white space (the text layer breaks lines
    // between glyphs).
    QString text(int page)
    {
        QString text = m_document.getAllText(page).text();
        text.removeIf([](QChar c) { return c.isSpace(); });
        return text;
    }
    // Keeps the bytes (for a look with pdftoppm) when TW_KEEP_PDF names a file.
    static void keep(const QByteArray &bytes)
    {
        const QString path = qEnvironmentVariable("TW_KEEP_PDF");
        QFile file(path);
        if (!path.isEmpty() && file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

private:
    QTemporaryDir m_dir;
    QPdfDocument m_document;
};
