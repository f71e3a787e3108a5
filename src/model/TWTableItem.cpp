#include "model/TWTableItem.h"

std::shared_ptr<TWTableItem>
TWTableItem::tableItemWithTransaction(const std::shared_ptr<TWTransaction> &transaction,
                                      const TWFieldPtr &field,
                                      const std::shared_ptr<TWSplit> &split)
{
    return std::make_shared<TWTableItem>(transaction, field, split);
}
