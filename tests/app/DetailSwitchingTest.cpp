// Switching the detail view by the source-list selection, navigation, the
// notifications that refresh it, the divider and the window frame.

#include "TWWindowTestSupport.h"

#include "TWWakeMonitor.h"

namespace
{

class DetailSwitchingTest : public TWWindowTest
{
protected:
    void SetUp() override
    {
        TWWindowTest::SetUp();
        registerFakes();
    }
};

TEST_F(DetailSwitchingTest, ATransactionChangeRefreshesTheMerchantAndTheTotalLine)
{
    TWMerchantPtr merchant;
    TWAccountPtr one;
    TWAccountPtr two;
    auto document = windowDocument([&](TWBusiness &b) {
        one = addAccount(b, QStringLiteral("One"));
        two = addAccount(b, QStringLiteral("Two"));
        merchant = addMerchant(b, QStringLiteral("Shop"));
    });
    select(*document, 5, TWItemTypeMerchant, merchant->identifier());
    QLabel *count = document->windowController()->countLabel();
    EXPECT_EQ(count->text(), QStringLiteral("0 ") + TWLocalized("transactionsLower"));
    merchantsView->payments.rows = {addTransaction(*document->business(), one, two, 100)};
    document->business()->postNotification(QStringLiteral("transactionNew"));
    EXPECT_EQ(merchantsView->refreshes, 1);
    EXPECT_EQ(merchantsView->payments.reloads, 1);
    EXPECT_EQ(count->text(), QStringLiteral("1 ") + TWLocalized("transactionLower"));
    // The accounts' register is not shown, so it is left alone.
    EXPECT_EQ(registerView->reloads, 0);
}

TEST_F(DetailSwitchingTest, TheDividerIsKeptAndBounded)
{
    auto document = newDocument();
    document->business()->setMasterDividerPosition(300);
    document->business()->setDocumentFrame(QRectF(10, 10, 900, 600));
    document->showWindows();
    QCoreApplication::processEvents();
    // Building the window did not overwrite the stored position.
    EXPECT_EQ(document->business()->masterDividerPosition(), 300.0);
    QSplitter *splitter = document->windowController()->splitter();
    EXPECT_EQ(splitter->sizes().first(), 300);

    // A wider window widens the detail only.
    QMainWindow *window = document->windowForSheet();
    window->resize(window->width() + 200, window->height());
    QCoreApplication::processEvents();
    EXPECT_EQ(splitter->sizes().first(), 300);

    // Dragged to 100 from the left edge, it stops at 260.
    splitter->setSizes({100, splitter->width() - 100});
    EXPECT_EQ(document->windowController()->masterView()->width(), 260);
    // Nor may the detail get narrower than 260.
    splitter->setSizes({splitter->width() - 50, 50});
    EXPECT_GE(document->windowController()->detailPane()->width(), 260);

    // Stored values that are no position fall back to the default.
    EXPECT_EQ(TWWindowController::validDividerPosition(std::nan("")), 260.0);
    EXPECT_EQ(TWWindowController::validDividerPosition(-5), 260.0);
    EXPECT_EQ(TWWindowController::validDividerPosition(1e12), 260.0);
    EXPECT_EQ(TWWindowController::validDividerPosition(420), 420.0);
}

TEST_F(DetailSwitchingTest, AFramePartlyOffTheScreenIsReplaced)
{
    const QRect screen(0, 0, 1440, 877);
    EXPECT_EQ(TWWindowController::frameForScreen(QRect(100, 100, 800, 600), screen),
              QRect(100, 100, 800, 600));
    EXPECT_EQ(TWWindowController::frameForScreen(QRect(1000, 100, 800, 600), screen), screen);
    EXPECT_EQ(TWWindowController::frameForScreen(QRect(), screen), screen);

    auto document = newDocument();
    document->business()->setDocumentFrame(QRectF(-4000, -4000, 800, 600));
    document->makeWindowControllers();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(document->windowForSheet()->geometry(), available);
}

TEST_F(DetailSwitchingTest, SelectionExpansionDividerAndFrameSurviveSaveAndReopen)
{
    TWClientPtr client;
    auto document = windowDocument([&](TWBusiness &b) {
        addAccount(b, QStringLiteral("Bank"));
        client = addClient(b, QStringLiteral("Client"));
    });
    select(*document, 5, TWItemTypeClient, client->identifier());
    TWMasterController &list = master(*document);
    list.outlineView()->collapse(list.model()->indexOf(list.masterItemAtIndex(4).get()));
    document->business()->setMasterDividerPosition(320);
    const QRect frame(30, 40, 900, 600);
    document->windowForSheet()->setGeometry(frame);
    QCoreApplication::processEvents();
    const QString path = dir.filePath(QStringLiteral("Kept.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(path)));
    document.reset();

    auto reopened = std::make_unique<TWBusinessController>();
    TWErrorResult error;
    ASSERT_TRUE(reopened->readFromURL(QUrl::fromLocalFile(path), &error));
    reopened->showWindows();
    QCoreApplication::processEvents();
    TWMasterController &again = master(*reopened);
    ASSERT_TRUE(again.selectedMasterItem());
    EXPECT_EQ(again.selectedMasterItem()->item()->identifier(), client->identifier());
    EXPECT_EQ(reopened->detailType(), int(TWDetailClients));
    EXPECT_FALSE(again.outlineView()->isExpanded(again.model()->indexOf(again.masterItemAtIndex(4).get())));
    EXPECT_TRUE(again.outlineView()->isExpanded(again.model()->indexOf(again.masterItemAtIndex(3).get())));
    EXPECT_EQ(reopened->windowController()->splitter()->sizes().first(), 320);
    EXPECT_EQ(reopened->business()->documentFrame().toRect(), frame);
}

} // namespace
