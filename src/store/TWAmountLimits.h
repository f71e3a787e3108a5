#pragma once
// What 64 bits cannot hold is refused before it is stored: an amount whose
// conversion into an account's unit or the home unit is past the range (it
// would be kept as 0), and a balance that would pass it (it would be shown
// held at the limit). The refusal names the account or the home currency.

#include "foundation/TWError.h"
#include "model/TWTransaction.h"

class TWBusiness;

namespace TWAmountLimits
{

// Why the transaction cannot be stored as it is: a conversion of its amount
// (or of a line's) that 64 bits cannot hold. None when it can.
TWErrorResult conversionError(const TWBusiness &business, const TWTransaction &transaction);

// The same for each transaction, and a balance of an account they book into
// (in the account's unit or in the home unit) that they, stored in place of
// the ones of the same identifiers, would take past what 64 bits hold. One
// pass over the ledger: for the writes a person makes (the editor, Edit
// Several).
TWErrorResult amountsError(const TWBusiness &business, const TWTransactionList &transactions);

} // namespace TWAmountLimits
