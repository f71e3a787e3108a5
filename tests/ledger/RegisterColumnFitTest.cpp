// The register's columns: each at its stored width, the fixed-size ones
// fitted when the register is short of room, never cutting a title or an
// amount; sorting keeps the selection.

#include "RegisterTestSupport.h"

#include "app/TWColumnWidths.h"
#include "ledger/TWRegisterColumns.h"
#include "ledger/TWTransactionsController.h"
#include "ledger/TWTransactionsModel.h"

#include "model/TWBuiltInFields.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QScrollBar>
#include <QTableView>

#include <numeric>

namespace
{

struct Register {
    TWTransactionsController controller;
    Register(TWBusiness &business, const TWAccountPtr &account, int width)
    {
        controller.setBusiness(&business);
        controller.setParentItems({account});
        controller.setAccounts({account});
        controller.setMode(TWRegisterMode::Accounts);
        controller.view()->resize(width, 400);
        controller.view()->show();
        controller.update();
        // The table lays out its scroll bars when the event loop next runs.
        QCoreApplication::processEvents();
    }
    QTableView *table() const { return controller.tableView(); }
    int column(qint32 field) const
    {
        const TWFieldList &columns = controller.model()->columns();
        for (qsizetype i = 0; i < columns.size(); ++i)
            if (columns[i]->identifier() == field)
                return int(i);
        return -1;
    }
    int width(qint32 field) const
    {
        const int index = column(field);
        return index < 0 ? -1 : table()->horizontalHeader()->sectionSize(index);
    }
    QString text(int row, qint32 field) const
    {
        return controller.model()->index(row, column(field)).data().toString();
    }
};

} // namespace

TEST(RegisterColumnFit, StoredWidthsShowAsStoredAndFixedColumnsGiveWayWhenShort)
{
    using F = TWColumnFit;
    // Stored width, least width (title, widest amount), kind, fitted width
    // of fixed-size content, dragged by the user.
    const QList<TWColumnFit> columns{{160, 60},
                                     {300, 90},
                                     {160, 180},
                                     {55, 90},
                                     {120, 60, F::Fixed, 70},
                                     {140, 60, F::Fixed, 70, true},
                                     {40, 60, F::Fixed, 70, true}};
    // Room for all: stored widths, widened only where a title or amount
    // would be cut; a dragged width exactly as dragged.
    EXPECT_EQ(twShownColumnWidths(columns, 5000), (QList<int>{160, 300, 180, 90, 120, 140, 40}));
    // Wider than the list: the undragged fixed column takes its fitted width.
    EXPECT_EQ(twShownColumnWidths(columns, 900), (QList<int>{160, 300, 180, 90, 70, 140, 40}));
    // Never below its title, nor above what it had.
    EXPECT_EQ(twShownColumnWidths({{120, 80, F::Fixed, 70}, {60, 50, F::Fixed, 90}}, 10),
              (QList<int>{80, 60}));
    // Then the texts before the last amount give way, by their room above
    // their titles, where that shows the amount whole; else they keep theirs.
    const QList<TWColumnFit> texts{{120, 50, F::Text},
                                   {120, 90, F::Text},
                                   {120, 60, F::Kept},
                                   {120, 100, F::Amount},
                                   {120, 50, F::Text}};
    EXPECT_EQ(twShownColumnWidths(texts, 440), (QList<int>{92, 108, 120, 120, 120}));
    // Where the titles alone are wider than the list, the amount first gives
    // its room beyond its title, then the texts shorten their titles, to half
    // at most, to bring it whole.
    EXPECT_EQ(twShownColumnWidths(texts, 300), (QList<int>{50, 90, 60, 100, 120}));
    EXPECT_EQ(twShownColumnWidths(texts, 280), (QList<int>{46, 74, 60, 100, 120}));
    EXPECT_EQ(twShownColumnWidths(texts, 200), (QList<int>{120, 120, 120, 120, 120}));
    // Where the texts alone cannot, the accounts give way after them, then
    // the amounts before the last one, down to their widest amounts.
    EXPECT_EQ(twShownColumnWidths(texts, 340), (QList<int>{50, 90, 80, 120, 120}));
    EXPECT_EQ(
        twShownColumnWidths(
            {{120, 50, F::Text}, {120, 60, F::Kept}, {120, 70, F::Amount}, {120, 100, F::Amount}},
            310),
        (QList<int>{50, 60, 80, 120}));
    // An amount no giving way can reach: the ones before it are brought on.
    EXPECT_EQ(
        twShownColumnWidths(
            {{200, 50, F::Text}, {120, 100, F::Amount}, {300, 290, F::Kept}, {120, 100, F::Amount}},
            250),
        (QList<int>{130, 120, 300, 120}));
}

TEST(RegisterColumnFit, NoTitleAndNoAmountIsEverCutAScrollBarTakesTheRest)
{
    RegisterBooks books;
    // A large balance in parentheses is the widest amount text.
    books.add(QDate(2024, 1, 5), books.rent, books.checking, 57607370, QStringLiteral("Landlord"));
    books.add(QDate(2024, 1, 6), books.checking, books.sales, 12345, QStringLiteral("Client"));
    // Wide, roomy, as wide as a 1024-pixel window leaves the register
    // (where titles shorten to bring the balance on screen), and narrower still.
    for (const int width : {1400, 1000, 760, 500}) {
        Register reg(*books.business, books.checking, width);
        ASSERT_EQ(reg.controller.sortedTransactions().size(), 2);
        const QFontMetrics cells(reg.table()->font());
        const QFontMetrics titles(reg.table()->horizontalHeader()->font());
        const QAbstractItemModel *model = reg.controller.model();
        int total = 0;
        for (int column = 0; column < model->columnCount(); ++column) {
            const QString title = model->headerData(column, Qt::Horizontal).toString();
            const int shown = reg.table()->horizontalHeader()->sectionSize(column);
            total += shown;
            // Titles shorten only where that brings the balance on screen.
            if (width >= 1000) {
                EXPECT_GT(shown, titles.horizontalAdvance(title))
                    << width << " " << title.toStdString();
            }
        }
        // As wide as a 1024-pixel window leaves it: every amount on screen.
        if (width == 760) {
            const int balance = reg.column(TWFieldIdentifierBalance);
            EXPECT_LE(reg.table()->horizontalHeader()->sectionViewportPosition(balance) +
                          reg.width(TWFieldIdentifierBalance),
                      reg.table()->viewport()->width());
        }
        for (const qint32 field :
             {TWFieldIdentifierBalance, TWFieldIdentifierDebit, TWFieldIdentifierCredit}) {
            ASSERT_GE(reg.column(field), 0) << field;
            int widest = 0;
            for (int row = 0; row < 2; ++row)
                widest = std::max(widest, cells.horizontalAdvance(reg.text(row, field)));
            EXPECT_GT(reg.width(field), widest) << width << " " << field;
        }
        // What does not fit is reached by scrolling.
        const QScrollBar *bar = reg.table()->horizontalScrollBar();
        EXPECT_EQ(bar->maximum() > 0, total > reg.table()->viewport()->width()) << width;
    }
}

TEST(RegisterColumnFit, AmountsShowAtTheWidthALargeWindowLeavesAndTheRestScrolls)
{
    RegisterBooks books;
    books.add(QDate(2024, 1, 1), books.checking, books.sales, 2000000, QStringLiteral("Opening"));
    books.add(QDate(2024, 1, 2), books.rent, books.checking, 150000, QStringLiteral("Landlord"));
    const int stored = int(TWRegisterDefaultColumnWidth);
    // As wide as a 1440-pixel window leaves the register: the amounts whole
    // on screen, the text columns at their stored widths, the fixed ones
    // fitted.
    {
        Register reg(*books.business, books.checking, 1150);
        const int visible = reg.table()->viewport()->width();
        for (const qint32 field :
             {TWFieldIdentifierDebit, TWFieldIdentifierCredit, TWFieldIdentifierBalance}) {
            const int column = reg.column(field);
            ASSERT_GE(column, 0) << field;
            EXPECT_LE(reg.table()->horizontalHeader()->sectionViewportPosition(column) +
                          reg.width(field),
                      visible)
                << field;
        }
        // The accounts keep their widths; the payee and the description give
        // way, never below their titles.
        for (const qint32 field : {TWFieldIdentifierAccount1, TWFieldIdentifierAccount2})
            EXPECT_EQ(reg.width(field), stored) << field;
        for (const qint32 field : {TWFieldIdentifierPayee, TWFieldIdentifierDescription})
            EXPECT_GE(reg.width(field), reg.controller.minimumWidth(reg.column(field))) << field;
        EXPECT_LT(reg.width(TWFieldIdentifierCleared), stored);
    }
    // A 1024-pixel window: a scroll bar that reaches the last column.
    {
        Register reg(*books.business, books.checking, 760);
        QScrollBar *bar = reg.table()->horizontalScrollBar();
        ASSERT_GT(bar->maximum(), 0);
        bar->setValue(bar->maximum());
        const int last = reg.table()->model()->columnCount() - 1;
        EXPECT_LE(reg.table()->horizontalHeader()->sectionViewportPosition(last) +
                      reg.table()->horizontalHeader()->sectionSize(last),
                  reg.table()->viewport()->width());
    }

    // Dragged widths are kept exactly, in this window and the next, whatever
    // the window: a fixed column too.
    {
        Register dragged(*books.business, books.checking, 760);
        QHeaderView *header = dragged.table()->horizontalHeader();
        header->resizeSection(dragged.column(TWFieldIdentifierDescription), 333);
        header->resizeSection(dragged.column(TWFieldIdentifierCleared), 140);
    }
    for (const int width : {1150, 760}) {
        Register reg(*books.business, books.checking, width);
        EXPECT_EQ(reg.width(TWFieldIdentifierDescription), 333) << width;
        EXPECT_EQ(reg.width(TWFieldIdentifierCleared), 140) << width;
    }
}

TEST(RegisterColumnFit, SortingKeepsTheSelectedRowsSelected)
{
    RegisterBooks books;
    books.add(QDate(2024, 1, 5), books.checking, books.sales, 300, QStringLiteral("Cedar"));
    const TWTransactionPtr picked =
        books.add(QDate(2024, 1, 6), books.checking, books.sales, 100, QStringLiteral("Aspen"));
    books.add(QDate(2024, 1, 7), books.checking, books.sales, 200, QStringLiteral("Birch"));
    Register reg(*books.business, books.checking, 900);
    reg.controller.selectTransactions({picked});
    ASSERT_EQ(reg.controller.selectedTransactions().size(), 1);

    reg.controller.updateSortBy(books.business->fieldWithIdentifier(TWFieldIdentifierPayee), true);
    ASSERT_EQ(reg.controller.sortedTransactions().first()->identifier(), picked->identifier());
    ASSERT_EQ(reg.controller.selectedTransactions().size(), 1);
    EXPECT_EQ(reg.controller.selectedTransactions().first()->identifier(), picked->identifier());
    EXPECT_EQ(reg.controller.selectedRows(), QList<int>{0});
    EXPECT_TRUE(reg.table()->selectionModel()->isRowSelected(0, QModelIndex()));
}

TEST(RegisterColumnFit, AnAmountColumnShownLaterFitsTheAmountsAddedWhileItWasHidden)
{
    RegisterBooks books;
    books.add(QDate(2024, 1, 6), books.checking, books.sales, 12345, QStringLiteral("Client"));
    Register reg(*books.business, books.checking, 1400);
    const TWFieldPtr balance = books.business->fieldWithIdentifier(TWFieldIdentifierBalance);
    ASSERT_TRUE(balance);
    reg.controller.toggleFieldVisible(balance);
    ASSERT_LT(reg.column(TWFieldIdentifierBalance), 0);
    books.add(QDate(2024, 1, 7), books.rent, books.checking, 9876543210,
              QStringLiteral("Landlord"));
    reg.controller.updateTransactions();
    reg.controller.toggleFieldVisible(balance);
    ASSERT_GE(reg.column(TWFieldIdentifierBalance), 0);
    const QFontMetrics cells(reg.table()->font());
    int widest = 0;
    for (int row = 0; row < 2; ++row)
        widest = std::max(widest, cells.horizontalAdvance(reg.text(row, TWFieldIdentifierBalance)));
    EXPECT_GT(reg.width(TWFieldIdentifierBalance), widest);
}

TEST(RegisterColumnFit, TheAttachmentsColumnIsTitledWithThePaperclip)
{
    RegisterBooks books;
    books.add(QDate(2024, 1, 5), books.checking, books.sales, 300, QStringLiteral("Cedar"));
    Register reg(*books.business, books.checking, 1400);
    const int column = reg.column(TWFieldIdentifierAttachments);
    ASSERT_GE(column, 0);
    const QAbstractItemModel *model = reg.controller.model();
    EXPECT_TRUE(model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().isEmpty());
    EXPECT_FALSE(model->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty());
    const QIcon icon =
        qvariant_cast<QIcon>(model->headerData(column, Qt::Horizontal, Qt::DecorationRole));
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(
        model->headerData(reg.column(TWFieldIdentifierBalance), Qt::Horizontal, Qt::DecorationRole)
            .isValid());

    // The header draws it: the section holds the clip's strokes, the text
    // colour on the header's face.
    QHeaderView *header = reg.table()->horizontalHeader();
    reg.table()->horizontalScrollBar()->setValue(header->sectionPosition(column));
    const QRect section(header->sectionViewportPosition(column) + 2, 2,
                        header->sectionSize(column) - 4, header->height() - 4);
    const QImage shot = header->grab(section).toImage();
    int strokes = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            strokes += QColor(shot.pixel(x, y)).lightness() < 110;
    EXPECT_GT(strokes, 6);
}

// The register as a 1024-pixel window leaves it, in the wider font that an
// Arabic or Persian locale brings: the titles up to the deposits are wider
// than the list, so the columns shorten theirs, the texts first, never below
// an amount or a date, and every amount shows, the balance too.
TEST(RegisterColumnFit, AWideFontStillShowsEveryAmountWhole)
{
    using F = TWColumnFit;
    // Cleared, Date, Identifier, Payee, Description, Account 1 and 2, Repeat,
    // Deposit, Withdrawal, Balance, Notes.
    // Content: the register's least column width, the widest date and amounts.
    const QList<TWColumnFit> columns{
        {120, 69, F::Fixed, 81, false, 50},  {120, 96, F::Fixed, 80, false, 84},
        {120, 80, F::Fixed, 92, false, 50},  {120, 56, F::Text, 0, false, 50},
        {120, 99, F::Text, 0, false, 50},    {120, 88, F::Kept, 0, false, 50},
        {120, 88, F::Kept, 0, false, 50},    {120, 64, F::Fixed, 76, false, 50},
        {120, 130, F::Amount, 0, false, 92}, {120, 164, F::Amount, 0, false, 92},
        {120, 97, F::Amount, 0, false, 97},  {120, 54, F::Text, 0, false, 50}};
    const QList<int> widths = twShownColumnWidths(columns, 747);
    EXPECT_LE(std::accumulate(widths.cbegin(), widths.cbegin() + 11, 0), 747);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        EXPECT_GE(widths[i], columns[i].content) << i;
        EXPECT_GE(widths[i], std::min(columns[i].minimum, 40)) << i;
    }
    // The texts shortened as far as they go before the amounts' titles.
    EXPECT_EQ(widths[3], 50);
    EXPECT_EQ(widths[4], 50);
    // Without a width for its cells, an amount keeps its whole title.
    QList<TWColumnFit> unknown = columns;
    for (TWColumnFit &column : unknown)
        column.content = 0;
    const QList<int> kept = twShownColumnWidths(unknown, 747);
    for (const int amount : {8, 9, 10})
        EXPECT_GE(kept[amount], unknown[amount].minimum) << amount;
}
