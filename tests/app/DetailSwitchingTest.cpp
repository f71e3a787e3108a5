// Switching the detail view by the source-list selection, navigation, the
// notifications that refresh it, the divider and the window frame.

#include "TWWindowTestSupport.h"

#include "platform/wake/TWWakeMonitor.h"

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
    EXPECT_FALSE(
        again.outlineView()->isExpanded(again.model()->indexOf(again.masterItemAtIndex(4).get())));
    EXPECT_TRUE(
        again.outlineView()->isExpanded(again.model()->indexOf(again.masterItemAtIndex(3).get())));
    EXPECT_EQ(reopened->windowController()->splitter()->sizes().first(), 320);
    EXPECT_EQ(reopened->business()->documentFrame().toRect(), frame);
}

} // namespace
