#pragma once
// Invoices and bills as the previous build left them: links that say nothing
// of which transaction is the document's entry, in the shapes a user's
// business came to through that build (a charge made after its payment, an
// entry deleted and made again after a write-off or a payment, a charge
// deleted). Added to a business made by the sample's generator.

#include "store/TWBusiness.h"

#include <QList>
#include <QString>

#include <functional>

// One document added, and the transaction the previous build took for its
// entry (0: none, and its next save made one).
struct TWBenchEarlierDocument {
    QString shape;
    std::uint32_t type = 0; // the relationship type of its links (invoice or bill payment)
    qint32 document = 0;
    qint32 previousEntry = 0;
    // Every transaction linked to it, in the order made.
    QList<qint32> linked;
};

// Adds one invoice or bill of each shape, on a project with billed work (an
// invoice) or a merchant of the business, dated in the month before today,
// its links stored as the previous build stored them (no mark). Tells each
// through `entryMade` as the sample's own documents are told. Empty with a
// message on stderr on a failure.
QList<TWBenchEarlierDocument> twBenchAddEarlierDocuments(
    TWBusiness &business,
    const std::function<void(std::uint32_t type, qint32 document, qint32 transaction)> &entryMade);
