#include "store/TWPaymentCopy.h"

#include "model/TWRelationship.h"
#include "model/TWSplit.h"
#include "store/TWBusiness.h"

TWErrorResult twCopyLinkedPayment(TWBusiness &business, const TWTransaction &source,
                                  std::uint32_t type, qint32 parentIdentifier,
                                  qint32 childIdentifier,
                                  const std::function<TWError()> &storeError, bool &stored,
                                  bool &beforePeriod)
{
    // The copy of the record's entry is the duplicate's entry; any other
    // copy is what its source was, not an entry.
    const bool entry = business.isDocumentEntry(source, type);
    const qint32 identifier = business.nextTransactionIdentifier();
    if (identifier == 0)
        return storeError();
    const TWTransactionPtr copy = source.copy();
    copy->setIdentifier(identifier);
    copy->setHasAttachments(false);
    copy->setAttachments(std::nullopt);
    copy->setRepeatIdentifier(0);
    if (copy->hasSplit()) {
        // New lines of their own: the source's lines are shared objects.
        TWSplitList splits;
        for (const TWSplitPtr &split : source.splits()) {
            const TWSplitPtr line = split->copy();
            line->setIdentifier(0);
            splits.append(line);
        }
        copy->setSplits(splits);
    }
    if (TWErrorResult error = business.addTransaction(copy, true, false, false, false))
        return error;
    stored = true;
    if (!beforePeriod)
        beforePeriod = business.transactionBeforeActiveAccountingPeriod(*copy);
    const qint32 relationshipIdentifier = business.nextRelationshipIdentifier();
    if (relationshipIdentifier == 0)
        return storeError();
    // An invoice's copied entry is booked by the duplicate's own lines at
    // its first save; a bill's charge is what the bill bills.
    const TWDocumentLinkRole role = !entry ? TWDocumentLinkOther
                                    : type == TWRelationshipTypeInvoicePayment
                                        ? TWDocumentLinkCopy
                                        : TWDocumentLinkEntry;
    return business.addRelationship(
        TWRelationship::relationshipWithType(type, role, parentIdentifier, childIdentifier,
                                             identifier, 0, relationshipIdentifier),
        false);
}
