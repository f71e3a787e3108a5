// The register's columns: each at its stored width whatever the window,
// never cutting a title or an amount; sorting keeps the selection.

#include "RegisterTestSupport.h"

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

#include <tuple>

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

TEST(RegisterColumnFit, ColumnsShowTheirStoredWidthsWidenedOnlyToTheirTitles)
{
    // Stored width and least width: a column is shown at its stored width,
    // or wider where that would cut its title or amount (also a column once
    // dragged narrower than its title).
    EXPECT_EQ(TWRegisterColumns::shownWidths({{160, 60}, {300, 90}, {160, 180}, {55, 90}}),
              (QList<int>{160, 300, 180, 90}));
    // Stored in points, shown in pixels at the screen's resolution.
    for (const auto &[points, dpi, pixels] :
         {std::tuple{120.0, 96.0, 160}, std::tuple{120.0, 72.0, 120}, std::tuple{249.75, 96.0, 333},
          std::tuple{120.0, 144.0, 240}}) {
        EXPECT_EQ(TWRegisterColumns::pixelsFromPoints(points, dpi), pixels);
        EXPECT_DOUBLE_EQ(TWRegisterColumns::pointsFromPixels(pixels, dpi), points);
    }
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

TEST(RegisterColumnFit, ColumnsKeepTheirStoredWidthsWhateverTheWindow)
{
    RegisterBooks books;
    const QString opening = QStringLiteral("Opening balance");
    books.add(QDate(2024, 1, 1), books.checking, books.sales, 250000, opening);
    const auto setDescription = [&books, &opening] {
        const TWTransactionPtr t = books.business->transactions().constFirst()->copy();
        t->setDescription(opening);
        return books.business->updateTransaction(t, false, false, false, false);
    };
    ASSERT_OK(setDescription());
    int payee = -1;
    // As wide as a 1440-pixel window leaves the register, and a 1024-pixel one.
    for (const int width : {1150, 760}) {
        Register reg(*books.business, books.checking, width);
        const QFontMetrics cells(reg.table()->font());
        // Payee and description show an opening balance whole, at the width
        // they have in any window.
        for (const qint32 field : {TWFieldIdentifierPayee, TWFieldIdentifierDescription})
            EXPECT_GT(reg.width(field), cells.horizontalAdvance(opening) + 8) << width;
        if (payee < 0)
            payee = reg.width(TWFieldIdentifierPayee);
        EXPECT_EQ(reg.width(TWFieldIdentifierPayee), payee) << width;
        EXPECT_GT(reg.table()->horizontalScrollBar()->maximum(), 0) << width;
    }

    // A column dragged wider keeps that width, in this window and the next.
    Register dragged(*books.business, books.checking, 760);
    dragged.table()->horizontalHeader()->resizeSection(dragged.column(TWFieldIdentifierDescription),
                                                       333);
    for (const int width : {1150, 760}) {
        Register reg(*books.business, books.checking, width);
        EXPECT_EQ(reg.width(TWFieldIdentifierDescription), 333) << width;
        EXPECT_EQ(reg.width(TWFieldIdentifierPayee), payee) << width;
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
