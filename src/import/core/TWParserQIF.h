#pragma once
// Reads Quicken Interchange Format files: the bank-style sections (cash, bank,
// credit card, investment, other asset and liability) become rows of seven
// fixed columns, one row per transaction, or a head row, a bank-side row and
// one row per split for a split transaction. Amounts come out as the change of
// the row's account 1, dates as the user's short date.

#include "import/core/TWImportValues.h"
#include "import/core/TWParser.h"

#include <QLocale>

class TWParserQIF : public TWParser
{
public:
    static std::shared_ptr<TWParserQIF> parser();

    // Columns: cleared, date, payee, memo, account 1, account 2, amount.
    void parse(const QByteArray &data) override;

    // The localised account name of a QIF account type ("Bank", "CCard", ...,
    // compared without regard to case); none for any other type.
    static std::optional<QString> accountNameFromType(const QString &type);

    // A "D" value, month first ("3/14/19", "03-14-2019", "3/14'19"; a two-digit
    // year below 50 is 20xx), as the short date text; anything else as written.
    static QString dateString(const QString &value);
    static QString dateString(const QString &value, TWImportValues::DateTexts &texts);
    // A "T" or "$" value, "." decimals and "," grouping, in the locale's
    // notation, negated when asked; unreadable text as written.
    static QString amountString(const QString &value, bool negate, const QLocale &locale);
    // "1" for a cleared or reconciled mark ("*", "c", "X", "R"), else "0".
    static QString clearedString(const QString &value);
    // A category as an account name: a transfer's "[Savings]" is "Savings".
    static QString accountName(const QString &category);
};
