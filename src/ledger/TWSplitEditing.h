#pragma once
// What the transaction editor does to a working copy's split lines, without a
// window: splitting and unsplitting, a new line taking the imbalance, deleting a
// line, balancing one line, the balance text, a line's unit and account
// changes, the account menu and the description completions. The editor and
// the split rows call these and then refresh their views.

#include "model/TWAccount.h"
#include "model/TWSplit.h"
#include "model/TWTransaction.h"
#include "model/TWUnit.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TWBusiness;
class TWTotalController;

// One entry of a split line's account menu.
struct TWAccountMenuItem {
    bool separator = false;
    QString title;
    // Null for the separator and for the last entry, the new-account item.
    TWAccountPtr account;
};
using TWAccountMenuItems = QList<TWAccountMenuItem>;

namespace TWSplitEditing
{

// Splits an unsplit working copy into two lines (account 1 with its amounts,
// account 2 with them negated, odometer readings as they are; account 2's
// line first when `swappedAccounts`), or unsplits a split one: the accounts
// come from the lines, the amounts from the first line (all 0 without one).
void splitTransaction(TWTransaction &transaction, TWBusiness &business, bool swappedAccounts);

// The sum of the lines' home-unit amounts; 0 without lines. Never 0 for lines
// that do not add up to zero, even where the sum leaves 64 bits.
qint64 splitBalance(const TWTransaction &transaction);

// The sum of the lines' own amounts when every line is in `unit` (the first
// line's unit when none is given); nullopt when a line is in another unit or
// there are no lines. Summed wide, like splitBalance.
std::optional<qint64> splitUnitBalance(const TWTransaction &transaction,
                                       const TWUnitPtr &unit = nullptr);

// Whether the lines cancel: in the home unit, and, when they share one unit,
// in that unit too (lines of one foreign unit that cancel only after
// conversion would leave their accounts apart).
bool splitIsBalanced(const TWTransaction &transaction);

// Appends a line that brings the balance to zero: the last line's account and
// unit (account 1 and the transaction's unit when there is none). When every
// line is in that unit, its amount is the lines' own sum negated, so that they
// cancel exactly in their unit, and the home-unit residue is settled as
// settleSplitResidue does; otherwise its home amount is the balance negated,
// converted into its unit and its account's unit.
TWSplitPtr newSplit(TWTransaction &transaction, TWBusiness &business);

// Removes the line at `index`. With fewer than two lines left the transaction
// is unsplit and true is returned (the rows must be rebuilt); false otherwise.
// Nothing happens (false) for an index out of range.
bool deleteSplit(TWTransaction &transaction, TWBusiness &business, qsizetype index);

// Takes the balance out of that line: its home amount minus the balance, the
// other amounts converted from it. The balance is 0 afterwards. False, and the
// line unchanged, when its home amount cannot take the whole balance.
bool balanceSplit(TWSplit &split, qint64 balance, TWBusiness &business);

// Balances the line within its transaction: when every line is in one unit,
// its own amount takes the lines' sum in that unit (the others converted from
// it, the home residue settled); otherwise as above with the home balance.
bool balanceSplit(TWSplit &split, TWTransaction &transaction, TWBusiness &business);

// The balance text of the transaction: the home balance, or, when that is 0
// and the lines share a unit they do not cancel in, the balance in that unit.
QString balanceToolTip(const TWTransaction &transaction, TWBusiness &business);

// "Debit 12.00" / "Credit 12.00" of the balance in the home unit; empty at 0.
QString balanceToolTip(qint64 balance, TWBusiness &business);

// The split button's title for the transaction's state.
QString splitButtonTitle(bool hasSplit);

// Switches the line to the unit, keeping its written digits when the decimal
// places differ (truncated toward zero), clearing the odometer readings for a
// unit that is not a mileage unit, then converting the account and home
// amounts. False, and nothing changed, when the amount cannot be held with the
// new decimal places.
bool updateSplitUnit(TWSplit &split, const TWUnitPtr &unit, TWBusiness &business);

// The line's account changed from `oldAccount` to the one it now names:
// switches to or from a mileage unit when the account becomes or stops being
// a mileage account, else reconverts its account amount when the two accounts'
// units differ. False when the unit switch was refused (see updateSplitUnit);
// the line's account is then put back.
bool updateSplitAccount(TWSplit &split, const TWAccountPtr &oldAccount,
                        const TWAccountPtr &newAccount, TWBusiness &business);

// The line moves to an account the user has just created: its account
// amount is reconverted when the new account's unit differs from the old one's.
void takeNewAccount(TWSplit &split, const TWAccountPtr &account, TWBusiness &business);

// The line takes the amount view's values: odometer, total and unit; its
// account amount is the total when its account's unit is the line's unit, else
// the view's; its home amount the total when the home unit is the line's, else
// the account amount when the home unit is the account's, else the view's.
// With the transaction the line belongs to, the lines are then settled: when
// they balance in their one unit, the rounding residue of the home (and
// account) amounts goes to the line with the largest absolute amount.
void takeTotals(TWSplit &split, const TWTotalController &totalController, TWBusiness &business,
                const TWTransaction *transaction = nullptr);

// Settles the rounding residue of a split transaction's lines (see
// TWTransaction::settleSplitResidue), with their accounts' units.
void settleSplitResidue(const TWTransaction &transaction, TWBusiness &business);

// An account whose name holds the localized word "mileage" (any case).
bool isMileageAccount(const TWAccount *account);

// The unit a line switches to when its account becomes a mileage account: the
// business's last mileage unit, else "MIL" in the US, else "KM".
TWUnitPtr mileageUnit(TWBusiness &business);

// The accounts by group (assets, liabilities, income, expense, equity), a
// separator after each non-empty group, then the new-account item.
TWAccountMenuItems accountsByGroupMenuItems(const TWBusiness &business);

// The remembered descriptions starting with the whole text, in any case, in
// their stored order; none for empty text.
QStringList descriptionCompletions(TWBusiness &business, const QString &text);

} // namespace TWSplitEditing
