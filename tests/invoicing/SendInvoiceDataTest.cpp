#include "TWLayoutTestSupport.h"

#include "../store/TWInvoiceTestSupport.h"

#include "foundation/TWLocalized.h"
#include "model/TWLayoutManager.h"
#include "model/TWSendInvoiceData.h"
#include "store/TWSendInvoiceValues.h"

#include <QSet>

TEST(SendInvoiceDataTest, SettingsSurviveSaveAndReopen)
{
    TWFixedClock clock(2024, 6, 15);
    TWTestTempDir dir;
    TWInvoiceBook book = twInvoiceBook();
    ASSERT_TRUE(book.business);
    TWBusiness &b = book.b();
    TWClientPtr other =
        TWClient::clientWithIdentifier(b.nextClientIdentifier(), QStringLiteral("Bo"), {}, 0, 0,
                                       QImage(), {}, {}, {}, QUrl(), {}, {});
    ASSERT_OK(b.addClient(other, false));

    const TWSendInvoiceDataPtr data = b.sendInvoiceData(*book.client);
    data->setTotalDueLabel(QStringLiteral("Amount owing"));
    data->setItemNotesLabel(QStringLiteral("Note:"));
    data->setClientToLabel(QString());
    data->setInvoiceHeader(QStringLiteral("Thank you"));
    data->setInvoiceTerms(QStringLiteral("30 days\nnet"));
    data->toggleDisplayBit(TWInvoiceDisplayMasks[TWDisplayItemType], false);
    data->setLayout(TWLayoutManager::layoutManager().layoutWithName(QStringLiteral("Modern")));
    ASSERT_TRUE(data->layout());
    const QVariantMap saved = data->settings();
    EXPECT_EQ(saved.size(), 32);
    EXPECT_EQ(saved.value(QStringLiteral("clientToLabel")), QStringLiteral(""));
    EXPECT_EQ(saved.value(QStringLiteral("invoiceFooter")), QStringLiteral(""));

    // The other client's record: stored without some keys, with a layout
    // that is not installed.
    QVariantMap partial = twDefaultSendInvoiceData(b)->settings();
    partial.remove(QStringLiteral("itemRateLabel"));
    partial.remove(QStringLiteral("displayBits"));
    partial.insert(QStringLiteral("itemDateLabel"), QStringLiteral(""));
    partial.insert(QStringLiteral("layout"), QStringLiteral("Gone Layout"));
    b.setSendInvoiceData({{book.client->identifier(), data},
                          {other->identifier(), twRestoredSendInvoiceData(partial, b)}});

    const QUrl url = twPackageURL(dir, QStringLiteral("Doc"));
    ASSERT_OK(b.writeToURL(url, TWSaveOperationSaveAs));
    auto opened = twOpenPackage(url);
    ASSERT_TRUE(opened);
    const TWSendInvoiceDataPtr restored =
        opened->sendInvoiceData().value(book.client->identifier());
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->settings(), saved);
    EXPECT_EQ(restored->layout()->name(), QStringLiteral("Modern"));
    EXPECT_TRUE(restored->clientToLabel().isEmpty());
    EXPECT_EQ(restored->invoiceTerms(), QStringLiteral("30 days\nnet"));

    const TWSendInvoiceDataPtr second = opened->sendInvoiceData().value(other->identifier());
    ASSERT_TRUE(second);
    EXPECT_EQ(second->itemRateLabel(), TWLocalized("rate"));
    EXPECT_TRUE(second->itemDateLabel().isEmpty());
    EXPECT_EQ(second->displayBits(), TWSendInvoiceData::kDefaultDisplayBits);
    // Rendering falls back to the default; the client's choice is kept.
    EXPECT_EQ(second->layout()->name(), QStringLiteral("Classic"));
    EXPECT_EQ(second->settings().value(QStringLiteral("layout")), QStringLiteral("Gone Layout"));
    second->setLayout(TWLayoutManager::layoutManager().defaultLayout());
    EXPECT_EQ(second->settings().value(QStringLiteral("layout")), QStringLiteral("Classic"));
}
