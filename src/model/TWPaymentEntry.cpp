#include "model/TWPaymentEntry.h"

#include "foundation/TWDateAdditions.h"
#include "model/TWAccount.h"
#include "model/TWWorkArithmetic.h"

#include <QMultiHash>

#include <algorithm>

using TWWorkArithmetic::add;
using TWWorkArithmetic::subtract;

bool TWPaymentEntry::isEqual(const TWPaymentEntry &other) const
{
    if (identifier != other.identifier)
        return false;
    if (activeAccountIdentifier != 0 && other.activeAccountIdentifier != 0 &&
        activeAccountIdentifier != other.activeAccountIdentifier)
        return false;
    if (activeSplitIdentifier != 0 && other.activeSplitIdentifier != 0 &&
        activeSplitIdentifier != other.activeSplitIdentifier)
        return false;
    return true;
}

namespace TWPayments
{

namespace
{

// One counted line: its amount as the record sees it (charges above 0,
// payments below), its home amount with the same sign, its unit, and
// whether it books against money (see bookedAgainstMoney).
struct CountedLine {
    qint64 amount = 0;
    qint64 homeAmount = 0;
    TWUnitPtr unit;
    bool againstMoney = false;
};

qint64 negated(qint64 v)
{
    return subtract(0, v);
}

// Accounts that hold money received or paid out: a bank, cash, a card, or
// another current asset (money on its way in, a payment service's balance).
bool isMoneyType(int accountType)
{
    return accountType == TWAccountTypeBank || accountType == TWAccountTypeCash ||
           accountType == TWAccountTypeCreditCard || accountType == TWAccountTypeCurrentAsset;
}

// Whether a receivable line of the entry books against money: the other
// account of a transaction without lines, or, in a split transaction, one of
// the lines booked on the other side (of the other sign) from `total`, the
// line's own amount.
bool bookedAgainstMoney(const TWPaymentEntry &entry, bool account1, qint64 total)
{
    if (!entry.hasSplit)
        return isMoneyType(account1 ? entry.account2Type : entry.account1Type);
    for (const TWPaymentSplit &split : entry.splits) {
        if (split.accountType != TWAccountTypeAccountsReceivable && split.total != 0 &&
            (split.total < 0) != (total < 0) && isMoneyType(split.accountType))
            return true;
    }
    return false;
}

// The lines of one entry that count for the side; see TWPayments::totals.
QList<CountedLine> countedLines(const TWPaymentEntry &entry, TWPaymentSide side)
{
    const bool receivable = side == TWPaymentSide::Receivable;
    const int target = receivable ? TWAccountTypeAccountsReceivable : TWAccountTypeAccountsPayable;
    // A receivable charge is a debit (a positive amount on the account's own
    // side); a payable charge a credit.
    const auto line = [&](qint64 total, qint64 totalBusiness, const TWUnitPtr &unit, bool ownSide) {
        const bool positive = ownSide == receivable;
        const qint64 amount = receivable ? total : totalBusiness;
        return CountedLine{positive ? amount : negated(amount),
                           positive ? totalBusiness : negated(totalBusiness), unit,
                           receivable && bookedAgainstMoney(entry, ownSide, total)};
    };

    QList<CountedLine> lines;
    if (entry.hasSplit) {
        for (const TWPaymentSplit &split : entry.splits) {
            if (split.accountType != target)
                continue;
            if (entry.activeSplitIdentifier != 0 && split.identifier != entry.activeSplitIdentifier)
                continue;
            lines.append(line(split.total, split.totalBusiness, split.unit, true));
        }
    } else if (entry.account1Type == target) {
        lines.append(line(entry.total, entry.totalBusiness, entry.unit, true));
    } else if (entry.account2Type == target) {
        lines.append(line(entry.total, entry.totalBusiness, entry.unit, false));
    }
    return lines;
}

// Whether the record's own charge books less than nothing (a credit note).
bool bookedCredit(const TWPaymentEntryList &entries, TWPaymentSide side)
{
    qint64 booked = 0;
    for (const TWPaymentEntry &entry : entries) {
        if (!entry.charge)
            continue;
        for (const CountedLine &line : countedLines(entry, side))
            booked = add(booked, line.amount);
    }
    return booked < 0;
}

// The record's charge charges whatever its sign. Anything else linked to an
// invoice that books against money is money received or given back, whatever
// its sign, as far as this line alone can tell (`chargeFlags` tells a further
// charge through money from a bounce or a refund). The rest charges when it books the same way as
// the record's charge (a late fee) and pays when it books the other way (a write-off, a discount, a
// refund of a credit).
bool isChargeLine(const TWPaymentEntry &entry, const CountedLine &line, bool credit)
{
    if (entry.charge)
        return true;
    return !line.againstMoney && line.amount != 0 && (line.amount < 0) == credit;
}

qint64 converted(qint64 amount, const TWUnitPtr &from, const TWUnitPtr &to,
                 const TWUnitConverter &convert)
{
    if (!convert || !from || !to || from->isEqual(*to))
        return amount;
    return convert(amount, *from, *to);
}

// Whether two lines are in one unit (a line without a unit is in any).
bool sameUnit(const TWUnitPtr &one, const TWUnitPtr &other)
{
    return !one || !other || one->isEqual(*other);
}

// For each entry, for each of its counted lines, whether it charges. Money
// raising what is owed gives back money the record took in only when it is
// a bounce (the reversal of an earlier payment of that unit and amount) or a
// refund of what was paid beyond the total charged; any other raise through
// money (money paid out for the client and billed on) is a further charge. On
// a credit, money raising what is owed pays it back. What was charged and
// paid is compared as it was booked: in the record's unit while every line
// is in it, else by the home amount each line was booked with, so that a
// payment in dollars of an invoice in yen is worth what it was worth on its
// day, whatever today's rate makes of it.
QList<QList<bool>> chargeFlags(const TWPaymentEntryList &entries, TWPaymentSide side, bool credit,
                               const TWUnitPtr &recordUnit, const TWUnitConverter &convert)
{
    const bool receivable = side == TWPaymentSide::Receivable;
    QList<QList<CountedLine>> counted;
    counted.reserve(entries.size());
    bool mixed = false;
    bool booked = true;
    for (const TWPaymentEntry &entry : entries) {
        counted.append(countedLines(entry, side));
        for (const CountedLine &line : counted.constLast()) {
            mixed = mixed || (receivable && !sameUnit(line.unit, recordUnit));
            // A line stored without its home amount leaves only today's rate.
            booked = booked && (line.amount == 0 || line.homeAmount != 0);
        }
    }
    const bool byHome = mixed && booked;
    const auto measured = [&](const CountedLine &line) {
        if (byHome)
            return line.homeAmount;
        return receivable ? converted(line.amount, line.unit, recordUnit, convert) : line.amount;
    };
    // Whether a line's measure was rounded from another unit's amount.
    const auto rounds = [&](const CountedLine &line) {
        if (byHome)
            return line.amount != line.homeAmount;
        return receivable && convert && !sameUnit(line.unit, recordUnit);
    };
    qint64 charged = 0;
    for (qsizetype i = 0; i < entries.size(); ++i)
        for (const CountedLine &line : std::as_const(counted.at(i)))
            if (isChargeLine(entries.at(i), line, credit))
                charged = add(charged, measured(line));
    QList<QList<bool>> flags;
    flags.reserve(entries.size());
    // Payments through money not yet bounced, each in its own unit.
    QList<std::pair<TWUnitPtr, qint64>> received;
    qint64 paid = 0;
    qint64 rounded = 0; // lines rounded so far
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const TWPaymentEntry &entry = entries.at(i);
        QList<bool> lineFlags;
        for (const CountedLine &line : std::as_const(counted.at(i))) {
            bool charge = isChargeLine(entry, line, credit);
            if (!charge && !credit && line.againstMoney && line.amount > 0) {
                const auto bounced =
                    std::find_if(received.begin(), received.end(), [&line](const auto &payment) {
                        return payment.second == line.amount && sameUnit(payment.first, line.unit);
                    });
                // Each line rounded from another unit is off by half a minor
                // unit at most: a refund of just what was paid beyond may
                // read a minor unit above it.
                const qint64 slack = (rounded + (rounds(line) ? 1 : 0) + 1) / 2;
                if (bounced != received.end())
                    received.erase(bounced);
                else if (add(subtract(paid, charged), slack) < measured(line))
                    charge = true;
            } else if (!charge && line.againstMoney && line.amount < 0) {
                received.append({line.unit, negated(line.amount)});
            }
            if (!charge)
                paid = subtract(paid, measured(line));
            if (rounds(line))
                ++rounded;
            lineFlags.append(charge);
        }
        flags.append(lineFlags);
    }
    return flags;
}

} // namespace

TWPaymentTotals totals(const TWPaymentEntryList &entries, TWPaymentSide side,
                       const TWUnitPtr &recordUnit, const TWUnitConverter &convert)
{
    const bool receivable = side == TWPaymentSide::Receivable;
    const bool credit = bookedCredit(entries, side);
    TWPaymentTotals result;
    // The stretch since the account last stood settled: its charges and
    // payments, and the raw net of every counted line.
    qint64 stretchCharges = 0;
    qint64 stretchPayments = 0;
    qint64 net = 0;

    const QList<QList<bool>> flags = chargeFlags(entries, side, credit, recordUnit, convert);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const TWPaymentEntry &entry = entries.at(i);
        const QList<CountedLine> lines = countedLines(entry, side);
        for (qsizetype j = 0; j < lines.size(); ++j) {
            const CountedLine &line = lines.at(j);
            net = add(net, line.amount);
            result.homeOwe = add(result.homeOwe, line.homeAmount);
            const qint64 amount =
                receivable ? converted(line.amount, line.unit, recordUnit, convert) : line.amount;
            result.owe = add(result.owe, amount);
            if (flags.at(i).value(j)) {
                result.charges = add(result.charges, amount);
                stretchCharges = add(stretchCharges, amount);
            } else if (line.amount != 0) {
                result.payments = subtract(result.payments, amount);
                stretchPayments = subtract(stretchPayments, amount);
            }
        }
        // Once everything charged is paid off, what follows is a new stretch.
        // Money received before anything was charged (a deposit dated before
        // its invoice) pays what is charged next.
        if (net <= 0 && stretchCharges != 0) {
            stretchCharges = 0;
            stretchPayments = 0;
        }
    }

    if (result.charges < 0) {
        // A credit: the share of it paid back.
        result.percentPaid =
            result.payments < 0 ? float(result.payments) / float(result.charges) : 0.0f;
    } else if (stretchCharges > 0) {
        result.percentPaid = float(stretchPayments) / float(stretchCharges);
    } else {
        result.percentPaid = net > 0 ? 0.0f : 1.0f;
    }
    return result;
}

QList<qint64> charges(const TWPaymentEntryList &entries, TWPaymentSide side,
                      const TWUnitPtr &recordUnit, const TWUnitConverter &convert)
{
    const bool receivable = side == TWPaymentSide::Receivable;
    const bool credit = bookedCredit(entries, side);
    QList<qint64> result;
    result.reserve(entries.size());
    const QList<QList<bool>> flags = chargeFlags(entries, side, credit, recordUnit, convert);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const TWPaymentEntry &entry = entries.at(i);
        qint64 charged = 0;
        const QList<CountedLine> lines = countedLines(entry, side);
        for (qsizetype j = 0; j < lines.size(); ++j) {
            const CountedLine &line = lines.at(j);
            if (flags.at(i).value(j))
                charged =
                    add(charged, receivable ? converted(line.amount, line.unit, recordUnit, convert)
                                            : line.amount);
        }
        result.append(charged);
    }
    return result;
}

TWPaymentEntryList entriesAmong(const TWPaymentEntryList &own, const TWPaymentEntryList &given)
{
    return entriesAmong(own, entriesByIdentifier(given));
}

EntriesByIdentifier entriesByIdentifier(const TWPaymentEntryList &given)
{
    EntriesByIdentifier byIdentifier;
    byIdentifier.reserve(given.size());
    for (const TWPaymentEntry &entry : given)
        byIdentifier.insert(entry.identifier, &entry);
    return byIdentifier;
}

TWPaymentEntryList entriesAmong(const TWPaymentEntryList &own,
                                const EntriesByIdentifier &byIdentifier)
{
    TWPaymentEntryList among;
    for (const TWPaymentEntry &entry : own) {
        const auto range = byIdentifier.equal_range(entry.identifier);
        for (auto it = range.first; it != range.second; ++it) {
            if (entry.isEqual(**it)) {
                among.append(entry);
                break;
            }
        }
    }
    return among;
}

bool isOverdue(const QDateTime &dueDate, qint64 owe)
{
    if (!dueDate.isValid() || owe < 1)
        return false;
    return dueDate < TWDateAdditions::endOfDay();
}

void validateEdit(const TWPaymentEntryList &entries, bool *containsRepeat,
                  bool *containsClosedLocked, bool *containsNormal)
{
    bool repeat = false;
    bool closedLocked = false;
    bool normal = false;
    for (const TWPaymentEntry &entry : entries) {
        repeat = repeat || entry.repeatIdentifier != 0;
        if (entry.state == 1 || entry.state == 2)
            closedLocked = true;
        else
            normal = true;
    }
    if (containsRepeat)
        *containsRepeat = repeat;
    if (containsClosedLocked)
        *containsClosedLocked = closedLocked;
    if (containsNormal)
        *containsNormal = normal;
}

} // namespace TWPayments
