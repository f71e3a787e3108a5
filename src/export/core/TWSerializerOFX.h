#pragma once
// Writes accounts and their transactions as an OFX 1.0.2 (SGML) bank
// statement response, one statement per exported account.
//
// Signs follow the store: a transaction moves its amount into account 1 (plus)
// and out of account 2 (minus), and a split line's signed amount goes into its
// account. TRNAMT is signed from the statement's account: positive is money
// into it ("CREDIT"), negative money out of it ("DEBIT"). BALAMT is the
// account's raw store balance, so it moves exactly with the TRNAMTs. Dates are
// calendar dates; statements and their transactions follow the input lists.

#include "export/core/TWSerializer.h"

class TWSerializerOFX final : public TWSerializer
{
public:
    TW_SERIALIZER_FACTORIES(TWSerializerOFX)

    QString text() const override;

    using TWSerializer::transactions;

    // The first and the latest calendar day among the transactions (on equal
    // days the first found stays); nothing for an empty list.
    static void transactions(const TWTransactionList &transactions, QDateTime *earliestDate,
                             QDateTime *latestDate);
};
