#pragma once
// A transaction and its lines edited with what the business knows: its next
// identifier and remembered values, its accounts and their units, the home
// unit and the conversion, the fields, the stored attachments. The model
// does the same work on values it is given.

#include "model/TWSplit.h"
#include "model/TWTransaction.h"

class TWBusiness;

// A new transaction with the business's next identifier, remembered values
// and preference.
TWTransactionPtr twNewTransaction(TWBusiness &business);
// The attachments, the stored ones loaded first when they have not been.
const std::optional<TWAttachmentList> &twLoadedAttachments(TWTransaction &transaction,
                                                           TWBusiness &business);
void twCopyRepeatFields(TWTransaction &transaction, const TWTransaction &source,
                        TWBusiness &business);
void twAutofill(TWTransaction &transaction, const TWField &field, const TWTransaction &source,
                TWBusiness &business);
void twUpdateAccounts(TWTransaction &transaction, TWBusiness &business,
                      const std::optional<TWAccountList> &accounts, bool ignoreSplits);
void twUpdateTotals(TWTransaction &transaction, int masterTotalType, int totalType,
                    TWBusiness &business);
void twUpdateSplitTotals(TWTransaction &transaction, TWBusiness &business);
void twUpdatePercentTotals(TWTransaction &transaction, TWBusiness &business);
// A name no attachment of the transaction has, the stored ones counted.
QString twUniqueAttachmentName(TWTransaction &transaction, const QString &name,
                               const QString &extension, TWBusiness &business);

inline void twUpdateAccount1Total(TWTransaction &transaction, TWBusiness &business)
{
    twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount1, business);
}
inline void twUpdateAccount2Total(TWTransaction &transaction, TWBusiness &business)
{
    twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeAccount2, business);
}
inline void twUpdateBusinessTotal(TWTransaction &transaction, TWBusiness &business)
{
    twUpdateTotals(transaction, TWTotalTypeTotal, TWTotalTypeBusiness, business);
}

// ---- Lines ----

void twUpdateTotals(TWSplit &split, int masterTotalType, int totalType, TWBusiness &business);
inline void twUpdateAccountTotal(TWSplit &split, TWBusiness &business)
{
    twUpdateTotals(split, TWTotalTypeTotal, TWTotalTypeAccount, business);
}
inline void twUpdateBusinessTotal(TWSplit &split, TWBusiness &business)
{
    twUpdateTotals(split, TWTotalTypeTotal, TWTotalTypeBusiness, business);
}
