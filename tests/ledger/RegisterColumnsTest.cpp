// The register's column layout over the stored settings: per-register
// visibility, the import preview's columns, moves, widths and the sort field.

#include "RegisterTestSupport.h"

#include "ledger/TWRegisterColumns.h"

#include "model/TWBuiltInFields.h"
#include "model/TWItem.h"

namespace
{

QList<qint32> shown(const QVariantMap &settings, TWRegisterMode mode, qint64 view)
{
    QList<qint32> ids;
    for (const TWRegisterColumn &column : TWRegisterColumns::visibleColumns(settings, mode, view))
        ids.append(column.identifier);
    return ids;
}

} // namespace

TEST(RegisterColumns, HidingInOneAccountLeavesEveryOtherRegister)
{
    RegisterBooks books;
    QVariantMap settings = *books.business->columnSettings(0);
    const qint64 checking = books.checking->identifier();
    const qint64 savings = books.savings->identifier();
    ASSERT_TRUE(
        shown(settings, TWRegisterMode::Accounts, checking).contains(TWFieldIdentifierPayee));
    ASSERT_TRUE(TWRegisterColumns::toggleFieldVisible(settings, TWFieldIdentifierPayee, checking));
    EXPECT_FALSE(
        shown(settings, TWRegisterMode::Accounts, checking).contains(TWFieldIdentifierPayee));
    for (const auto &[mode, view] :
         QList<std::pair<TWRegisterMode, qint64>>{{TWRegisterMode::Accounts, savings},
                                                  {TWRegisterMode::Accounts, -1},
                                                  {TWRegisterMode::Filters, -2},
                                                  {TWRegisterMode::RepeatItems, -3},
                                                  {TWRegisterMode::InvoicePayments, -4},
                                                  {TWRegisterMode::BillPayments, -5}})
        EXPECT_TRUE(shown(settings, mode, view).contains(TWFieldIdentifierPayee)) << view;
    // Toggling again shows it; a field without an entry changes nothing.
    ASSERT_TRUE(TWRegisterColumns::toggleFieldVisible(settings, TWFieldIdentifierPayee, checking));
    EXPECT_TRUE(
        shown(settings, TWRegisterMode::Accounts, checking).contains(TWFieldIdentifierPayee));
    EXPECT_FALSE(TWRegisterColumns::toggleFieldVisible(settings, 4242, checking));
    // The store keeps it.
    books.business->updateColumnSettings(0, settings);
    EXPECT_EQ(shown(*books.business->columnSettings(0), TWRegisterMode::Accounts, checking),
              shown(settings, TWRegisterMode::Accounts, checking));
}

TEST(RegisterColumns, ImportPreviewDropsBalanceRepeatAndIdentifierAndShowsTheTick)
{
    RegisterBooks books;
    QVariantMap settings = *books.business->columnSettings(0);
    // Even a column hidden everywhere shows in the preview.
    TWRegisterColumns::toggleFieldVisible(settings, TWFieldIdentifierPayee, 0);
    const QList<qint32> preview = shown(settings, TWRegisterMode::ImportPreview, 0);
    EXPECT_TRUE(preview.contains(TWFieldIdentifierImport));
    EXPECT_TRUE(preview.contains(TWFieldIdentifierPayee));
    for (qint32 gone : {TWFieldIdentifierBalance, TWFieldIdentifierRepeat,
                        TWFieldIdentifierIdentifier, TWFieldIdentifierTotal, TWFieldIdentifierUnit})
        EXPECT_FALSE(preview.contains(gone)) << gone;
    const QList<qint32> all = shown(settings, TWRegisterMode::AllTransactions, 0);
    EXPECT_FALSE(all.contains(TWFieldIdentifierImport));
    EXPECT_TRUE(all.contains(TWFieldIdentifierBalance));
    EXPECT_FALSE(shown(settings, TWRegisterMode::Accounts, books.checking->identifier())
                     .contains(TWFieldIdentifierImport));
    EXPECT_TRUE(shown(settings, TWRegisterMode::Nothing, 0).isEmpty());
}

TEST(RegisterColumns, AMovedColumnKeepsTheHiddenFieldBehindIt)
{
    RegisterBooks books;
    QVariantMap settings = *books.business->columnSettings(0);
    const qint64 view = books.checking->identifier();
    // Hide the description, which follows the payee.
    TWRegisterColumns::toggleFieldVisible(settings, TWFieldIdentifierDescription, view);
    QList<qint32> columns = shown(settings, TWRegisterMode::Accounts, view);
    // Drag the payee to the front.
    columns.removeAll(TWFieldIdentifierPayee);
    columns.prepend(TWFieldIdentifierPayee);
    TWRegisterColumns::moveColumns(settings, columns, view);
    const QList<qint32> order = TWRegisterColumns::entryIdentifiers(settings);
    ASSERT_GE(order.size(), 2);
    EXPECT_EQ(order[0], TWFieldIdentifierPayee);
    EXPECT_EQ(order[1], TWFieldIdentifierDescription);
    EXPECT_EQ(shown(settings, TWRegisterMode::Accounts, view), columns);
    // Nothing lost.
    EXPECT_EQ(order.size(),
              TWRegisterColumns::entryIdentifiers(*books.business->columnSettings(0)).size());

    // Shown columns between are passed over: the first hidden entry after the
    // moved one travels with it (notes, behind account 1, account 2, ...).
    TWRegisterColumns::toggleFieldVisible(settings, TWFieldIdentifierNotes, view);
    columns = shown(settings, TWRegisterMode::Accounts, view);
    columns.removeAll(TWFieldIdentifierAccount1);
    columns.prepend(TWFieldIdentifierAccount1);
    TWRegisterColumns::moveColumns(settings, columns, view);
    const QList<qint32> after = TWRegisterColumns::entryIdentifiers(settings);
    ASSERT_GE(after.size(), 2);
    EXPECT_EQ(after.mid(0, 2), (QList<qint32>{TWFieldIdentifierAccount1, TWFieldIdentifierNotes}));
    EXPECT_EQ(shown(settings, TWRegisterMode::Accounts, view), columns);
}
