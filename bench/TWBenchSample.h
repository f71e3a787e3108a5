#pragma once
// A believable small business for a first look (`tw-bench generate --sample`):
// a design studio's last two years, with clients whose projects have tasks,
// hours and invoices paid into the bank, merchants whose monthly bills are
// paid from it, everyday expenses and the owner's draws. The bank stays in
// credit and income beats expenses most months. The benchmark's business
// (TWBenchBusiness) is left exactly as it is.

#include "store/TWBusiness.h"

#include <functional>
#include <memory>

// About `transactions` entries (at least the work, bills and draws of two
// years); null with a message on stderr. Kept in `homeCurrency` (the same
// counts of minor units: ¥95 or 9.500 dinars where dollars are $95.00).
std::unique_ptr<TWBusiness>
twBenchMakeSampleBusiness(int transactions, const QString &homeCurrency = QStringLiteral("USD"));

// Every sample also holds, in the year under way: invoice and bill lines
// with tax, an invoice in another unit paid from the home bank, a payment that
// bounced and was paid again, an overpayment refunded, a write-off, a bill
// repeated monthly from the 31st and a purchase repeated monthly from the 29th
// of February and budgets (one rolling over), with a new business's settings
// and every account in its group of the chart.
//
// The sample with what a business gathers over the years besides: its first
// year closed (an estimate dated in it), an account in another unit,
// invoices and bills paid through cash, card, current-asset, equity and
// expense accounts, one payment split over two invoices, a credit note,
// repeated invoices and bills paid before, on and after their first day, and
// a repeated purchase. Repeats are left for the business's opening to bring
// up to date, as a user's saved business has them.
struct TWBenchSampleOptions {
    int transactions = 2000;
    QString homeCurrency = QStringLiteral("USD");
    bool extras = false;
    // Besides the extras, what businesses book otherwise: a mileage account
    // and its trip, custom fields with values, a third unit; bills charged to
    // a prepaid asset, a loan (principal and interest), a payroll liability
    // and the owner, the first two repeated; an invoice whose entry was moved
    // to deferred revenue and one whose entry was cut by hand (a discount); a
    // discount written off to income and a supplier credit through an expense
    // whose documents' entries were deleted since; a late fee linked to an
    // invoice; an invoice in another unit whose rate changed since; a bill
    // paid twice by card and the second payment refunded by its merchant; a
    // bill charged against the bank it is paid from.
    bool shapes = false;
    // The shapes every sample holds in the year under way (see above).
    bool yearShapes = true;
    // What a user's own books gather besides, where a newcomer's sample has
    // none: settings the user changed (a custom range of the year's first
    // quarter, the search field, the dividers, the budgets' start) and
    // accounts added outside the chart's groups (a "Sales tax" of its own
    // beside the chart's, "Bad debts").
    bool userChanges = false;
    // Told of each invoice's and bill's own entry as it is stored: the
    // relationship type of the document (invoice or bill payment), the
    // document and the transaction.
    std::function<void(std::uint32_t type, qint32 document, qint32 transaction)> entryMade;
};
std::unique_ptr<TWBusiness> twBenchMakeSampleBusiness(const TWBenchSampleOptions &options);
