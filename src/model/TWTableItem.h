#pragma once
// What one cell of a transactions table shows: the row's transaction, the
// column's field and, on a split's row, the split. Check boxes and buttons carry
// it so their action knows what was clicked.

#include "model/TWField.h"

#include <memory>

class TWTransaction;
class TWSplit;

class TWTableItem
{
public:
    TWTableItem() = default;
    TWTableItem(std::shared_ptr<TWTransaction> transaction, TWFieldPtr field,
                std::shared_ptr<TWSplit> split)
        : m_transaction(std::move(transaction)), m_field(std::move(field)),
          m_split(std::move(split))
    {
    }

    static std::shared_ptr<TWTableItem>
    tableItemWithTransaction(const std::shared_ptr<TWTransaction> &transaction,
                             const TWFieldPtr &field, const std::shared_ptr<TWSplit> &split);

    const std::shared_ptr<TWTransaction> &transaction() const { return m_transaction; }
    void setTransaction(const std::shared_ptr<TWTransaction> &t) { m_transaction = t; }
    const TWFieldPtr &field() const { return m_field; }
    void setField(const TWFieldPtr &field) { m_field = field; }
    // Null on the transaction's own row.
    const std::shared_ptr<TWSplit> &split() const { return m_split; }
    void setSplit(const std::shared_ptr<TWSplit> &split) { m_split = split; }

private:
    std::shared_ptr<TWTransaction> m_transaction;
    TWFieldPtr m_field;
    std::shared_ptr<TWSplit> m_split;
};

using TWTableItemPtr = std::shared_ptr<TWTableItem>;
