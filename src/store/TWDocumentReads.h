#pragma once
// One update's reading of the transactions linked to invoices and bills. A list asks for the
// same documents' transactions several times in one update (its rows, the payments pane's
// sums, the projects' and clients' sums); while a scope is open on a business, each
// document's transactions are read from the store on the first ask only, and the entries made
// of them are made once. A scope spans reading alone: nothing is written while one is open
// (the store is main-thread only). What a reading kept stays on the document
// (TWDocumentReadings), so asking costs no lookup; and while nothing is written to the business
// (its reading revision stays), a later scope takes what an earlier one read and made: choosing
// other rows of a long list reads nothing again.

#include "model/TWPaymentEntry.h"

#include <QSet>

#include <functional>
#include <optional>

class TWBusiness;

class TWDocumentReadScope
{
public:
    // Opens nothing without a business.
    explicit TWDocumentReadScope(const TWBusiness *business);
    ~TWDocumentReadScope();
    TWDocumentReadScope(const TWDocumentReadScope &) = delete;
    TWDocumentReadScope &operator=(const TWDocumentReadScope &) = delete;

    // Whether the document's transactions (`held`) were read already in a scope open on the
    // business, or in an earlier one with nothing written since but other transactions; notes
    // them read.
    static bool readBefore(const TWBusiness &business, TWDocumentReadings &readings,
                           const TWTransactionList &held);
    // Notes the transactions the document was just given as read from the store now.
    static void noteReadFromStore(const TWBusiness &business, TWDocumentReadings &readings);
    // The store reading the document holds, when it was read or found standing in a scope open
    // on the business (with nothing but other transactions written since it was read); else
    // 0. Two calls giving the same nonzero answer saw the same reading.
    static quint64 standingReading(const TWBusiness &business, const TWDocumentReadings &readings);
    // Whether the document's transactions were read in a scope open on the business (so what
    // it holds is what the store links to it now).
    static bool wasRead(const TWBusiness &business, const TWDocumentReadings &readings);

    // The document's transactions as payment entries (`reading`, 0 or 1, tells which of two
    // readings of them), kept by a scope open on the business: `make` makes them on the first
    // ask and again once the document holds new transactions or the business was written to.
    // Without a scope on the business, what `make` makes.
    static TWPaymentEntryList entries(const TWBusiness &business, TWDocumentReadings &readings,
                                      int reading, const std::function<TWPaymentEntryList()> &make);

    // The home amount the document owes, kept as its entries are.
    static qint64 homeOwe(const TWBusiness &business, TWDocumentReadings &readings,
                          const std::function<qint64()> &make);

private:
    bool m_open = false;
};

// Where a list's last reading of its documents' payments stands, for its next update: which
// projects' invoices a transaction written since pays, while nothing else was written. A list
// kept between updates reads only those again.
class TWPaidProjectsSince
{
public:
    // The projects to read again since the last call on the same business; none (read every
    // project) on the first call, after anything but transactions was written, or after
    // `forget`. Marks the business as read now: the caller reads what it was told straight away.
    std::optional<QSet<qint32>> projectsToReadAgain(const TWBusiness &business);
    void forget() { m_business = nullptr; }

private:
    const TWBusiness *m_business = nullptr;
    quint64 m_revision = 0;
    quint64 m_stamp = 0;
};
