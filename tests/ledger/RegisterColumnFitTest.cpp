// The register's columns in the window's width: amounts as wide as the widest
// amount and their whole title, text columns giving way first; sorting keeps
// the selection.

#include "RegisterTestSupport.h"

#include "ledger/TWRegisterColumns.h"
#include "ledger/TWTransactionsController.h"
#include "ledger/TWTransactionsModel.h"

#include "model/TWBuiltInFields.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QScrollBar>
#include <QTableView>

#include <numeric>

namespace
{

int sum(const QList<int> &widths)
{
    return std::accumulate(widths.begin(), widths.end(), 0);
}

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

TEST(RegisterColumnFit, TicksGiveWayFirstThenTextNeverAmounts)
{
    // Room for everything: every column keeps its wish (at least its minimum).
    using K = TWColumnFit;
    // Payee, description, a cleared tick, an amount.
    const QList<TWColumnFit> columns = {
        {120, 60, K::Text}, {200, 90, K::Text}, {120, 80, K::Fixed}, {60, 110, K::Amount}};
    EXPECT_EQ(TWRegisterColumns::fitWidths(columns, 1000), (QList<int>{120, 200, 120, 110}));

    // Short of room: the tick, which shows nothing more for the room, goes
    // down to its title first; the text keeps what it can.
    EXPECT_EQ(TWRegisterColumns::fitWidths(columns, 510), (QList<int>{120, 200, 80, 110}));
    QList<int> widths = TWRegisterColumns::fitWidths(columns, 500);
    EXPECT_EQ(sum(widths), 500);
    EXPECT_EQ(widths[2], 80);
    EXPECT_EQ(widths[3], 110);
    EXPECT_GE(widths[0], 60);
    EXPECT_GE(widths[1], 90);

    // Then the other columns down to their titles, and never past them: a
    // scroll bar takes the rest.
    for (const int available : {340, 100})
        EXPECT_EQ(TWRegisterColumns::fitWidths(columns, available), (QList<int>{60, 90, 80, 110}));
    // A column the user made narrower than its title keeps that width.
    EXPECT_EQ(TWRegisterColumns::fitWidths({{55, 90, K::Fixed}}, 1000), QList<int>{55});
}

TEST(RegisterColumnFit, NoTitleAndNoAmountIsEverCutAScrollBarTakesTheRest)
{
    RegisterBooks books;
    // A large balance in parentheses is the widest amount text.
    books.add(QDate(2024, 1, 5), books.rent, books.checking, 57607370, QStringLiteral("Landlord"));
    books.add(QDate(2024, 1, 6), books.checking, books.sales, 12345, QStringLiteral("Client"));
    // Wide, roomy, as wide as a 1024-pixel window leaves the register, and
    // narrower still.
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
            EXPECT_GT(shown, titles.horizontalAdvance(title))
                << width << " " << title.toStdString();
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
    const QRect section(header->sectionViewportPosition(column) + 2, 2,
                        header->sectionSize(column) - 4, header->height() - 4);
    const QImage shot = header->grab(section).toImage();
    int strokes = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            strokes += QColor(shot.pixel(x, y)).lightness() < 110;
    EXPECT_GT(strokes, 6);
}
