#pragma once
// The payment entry a duplicated invoice or bill takes with it.

#include "foundation/TWError.h"
#include "model/TWTransaction.h"

#include <cstdint>
#include <functional>

class TWBusiness;

// Stores a copy of `source` under a fresh identifier (no attachments, no
// schedule, lines of its own) and links it to the duplicate by a relationship
// of `type` between `parentIdentifier` and `childIdentifier`. Neither write
// is announced. `stored` is set once the copy is stored, `beforePeriod` when
// it falls before the active accounting period; `storeError` is the error
// when the store hands out no identifier.
TWErrorResult twCopyLinkedPayment(TWBusiness &business, const TWTransaction &source,
                                  std::uint32_t type, qint32 parentIdentifier,
                                  qint32 childIdentifier,
                                  const std::function<TWError()> &storeError, bool &stored,
                                  bool &beforePeriod);
