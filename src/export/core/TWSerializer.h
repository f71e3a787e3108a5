#pragma once
// The base of every output writer. A writer is built once over its input (a
// flat list of cells for CSV, HTML and PDF; accounts and transactions of a
// business for QIF and OFX), asked once for its output, and thrown away. The
// class whose factory is called picks the format; the base writes nothing.

#include "foundation/TWError.h"
#include "model/TWAccount.h"
#include "model/TWCell.h"
#include "model/TWTransaction.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class TWBusiness;

// The three factories, declared in each writer so that the class named is the
// class made.
#define TW_SERIALIZER_FACTORIES(Class)                                                             \
    static std::unique_ptr<Class> serializerWithCells(const TWCellList &cells)                     \
    {                                                                                              \
        auto serializer = std::make_unique<Class>();                                               \
        serializer->setCells(cells);                                                               \
        return serializer;                                                                         \
    }                                                                                              \
    static std::unique_ptr<Class> serializerWithCells(const TWCellList &cells,                     \
                                                      const std::optional<QPageLayout> &printInfo) \
    {                                                                                              \
        auto serializer = serializerWithCells(cells);                                              \
        serializer->setPrintInfo(printInfo);                                                       \
        return serializer;                                                                         \
    }                                                                                              \
    static std::unique_ptr<Class> serializerWithAccounts(const TWAccountList &accounts,            \
                                                         const TWTransactionList &transactions,    \
                                                         TWBusiness *business)                     \
    {                                                                                              \
        auto serializer = std::make_unique<Class>();                                               \
        serializer->setAccounts(accounts);                                                         \
        serializer->setTransactions(transactions);                                                 \
        serializer->setBusiness(business);                                                         \
        return serializer;                                                                         \
    }

class TWSerializer
{
public:
    TWSerializer() = default;
    virtual ~TWSerializer() = default;
    TWSerializer(const TWSerializer &) = delete;
    TWSerializer &operator=(const TWSerializer &) = delete;

    TW_SERIALIZER_FACTORIES(TWSerializer)

    // The whole output as text; none (a null string) for the base and PDF.
    virtual QString text() const { return QString(); }
    // The bytes to store: the text as UTF-8 without a byte-order mark (null
    // when there is no text); the PDF writer's document.
    virtual QByteArray data() const;

    // The table to write (CSV, HTML, PDF).
    const TWCellList &cells() const { return m_cells; }
    void setCells(const TWCellList &cells) { m_cells = cells; }
    // What to write (QIF, OFX).
    const TWAccountList &accounts() const { return m_accounts; }
    void setAccounts(const TWAccountList &accounts) { m_accounts = accounts; }
    const TWTransactionList &transactions() const { return m_transactions; }
    void setTransactions(const TWTransactionList &transactions) { m_transactions = transactions; }
    // The printer's paper and printable area for printed output (PDF only);
    // none for files.
    const std::optional<QPageLayout> &printInfo() const { return m_printInfo; }
    void setPrintInfo(const std::optional<QPageLayout> &printInfo) { m_printInfo = printInfo; }
    TWBusiness *business() const { return m_business; }
    void setBusiness(TWBusiness *business) { m_business = business; }

    // The image of a graph cell (a null image for any other cell).
    static QImage cellGraphImage(const TWCell &cell);

    // Stores the bytes at `path` through a temporary file beside it, renamed
    // into place only once everything is written: a failure leaves what was
    // there before. Null data (no document) is refused and writes nothing.
    static TWErrorResult writeData(const QByteArray &data, const QString &path);

protected:
    // The transactions of each exported account (QIF, OFX): `indexOf` gets the first place of
    // each account in accounts(), and the list at that place its transactions in list order,
    // each once even when it has two lines in the account. `other` hears of each account a
    // transaction touches that is not exported.
    QList<TWTransactionList>
    transactionsByAccount(QHash<qint32, qsizetype> &indexOf,
                          const std::function<void(qint32)> &other = {}) const;

private:
    TWCellList m_cells;
    TWAccountList m_accounts;
    TWTransactionList m_transactions;
    std::optional<QPageLayout> m_printInfo;
    TWBusiness *m_business = nullptr;
};
