#pragma once
// Writes accounts and their transactions as QIF text: an account list, the
// other accounts the transactions use as categories, then one section per
// exported account with its transactions as that account sees them.
//
// Signs follow the store: a transaction moves its amount into account 1 (plus)
// and out of account 2 (minus), and a split line's signed amount goes into its
// account. Each record's "T" is the change of the exported account's balance,
// in that account's unit (QIF has no currency): +totalAccount1 when the
// account is account 1, -totalAccount2 when it is account 2, the own line's
// totalAccount for a split. Each "$" is another line negated and brought into
// the account's unit, so that the "$" lines add up to "T". Accounts,
// categories and transactions come in the order of the input lists.

#include "export/core/TWSerializer.h"

class TWSerializerQIF final : public TWSerializer
{
public:
    TW_SERIALIZER_FACTORIES(TWSerializerQIF)

    QString text() const override;

    // The QIF account type word of an account type.
    static QString accountType(std::uint32_t accountType);

private:
    QString accountText(const TWAccount *account) const;
    QString categoryText(const TWAccount *account) const;
    QString transactionText(const TWTransaction &transaction, const TWAccount &account) const;
};
