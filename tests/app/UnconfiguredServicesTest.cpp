// Without a configured site or addresses nothing reaches for a host: the
// weekly check and the news stay idle, Check Now says so, and the links
// without an address are off.

#include "TWUpdateTestSupport.h"

#include "app/TWAboutController.h"
#include "app/TWAppNews.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWDocumentController.h"
#include "app/TWPreferencesController.h"

#include "foundation/TWLocalized.h"
#include "model/TWLayoutManager.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace
{

class UnconfiguredServicesTest : public TWUpdateTest
{
protected:
    void SetUp() override
    {
        TWUpdateTest::SetUp();
        // Back to the preferences, which name no site and no addresses.
        TWSite::setBaseURL(QUrl());
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setSiteURL(QString());
        preferences.setSupportAddress(QString());
        preferences.setContactAddress(QString());
    }
    void TearDown() override
    {
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setSiteURL(QString());
        preferences.setSupportAddress(QString());
        preferences.setContactAddress(QString());
        TWUpdateTest::TearDown();
    }
};

TEST_F(UnconfiguredServicesTest, TheChecksStayIdleAndCheckNowSaysWhy)
{
    EXPECT_TRUE(TWSite::baseURL().isEmpty());
    EXPECT_TRUE(TWSite::url(TWSite::kUpdatePath).isEmpty());
    TWDocumentController documents;
    TWApplicationDelegate delegate(&documents);
    delegate.checkForUpdate();
    EXPECT_FALSE(delegate.checkingForUpdate());
    // The weekly check is on and keeps its schedule; when due it asks nothing.
    delegate.armUpdateCheck();
    EXPECT_TRUE(delegate.isUpdateCheckArmed());
    delegate.updateCheckTimer();
    EXPECT_FALSE(delegate.checkingForUpdate());
    EXPECT_EQ(TWPreferences::preferences().checkForUpdateNextDate(), clock.now().addDays(7));
    TWAppNews::appNews().checkIfNecessary();
    QTest::qWait(50);
    EXPECT_EQ(server.requestCount(), 0);

    TWLayoutManager layouts;
    TWPreferencesController preferences(&layouts);
    preferences.doCheckForUpdate();
    EXPECT_FALSE(preferences.isCheckingForUpdate());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().alert.message, TWLocalized("noUpdateService"));
    EXPECT_EQ(server.requestCount(), 0);

    // A configured site is used as set (here the loopback one).
    TWPreferences::preferences().setSiteURL(server.baseUrl().toString());
    EXPECT_EQ(TWSite::url(TWSite::kUpdatePath), server.url("/update/tallyworth/1.txt"));
    // Only web addresses count.
    TWPreferences::preferences().setSiteURL(QStringLiteral("file:///etc/"));
    EXPECT_TRUE(TWSite::baseURL().isEmpty());
}

TEST_F(UnconfiguredServicesTest, LinksWithoutAnAddressAreOffAndOpenNothing)
{
    TWDocumentController documents;
    TWApplicationDelegate delegate(&documents);
    auto document = std::make_unique<TWBusinessController>();
    TWBusinessInfoPtr info = TWBusinessInfo::newBusinessInfo();
    info->setName(QStringLiteral("Links"));
    ASSERT_OK(document->createWithBusinessInfo(info));
    document->makeWindowControllers();
    QMainWindow *window = document->windowForSheet();
    ASSERT_TRUE(window);
    QMenu *help = window->menuBar()->findChild<QMenu *>(QStringLiteral("menuHelp"));
    ASSERT_TRUE(help);
    const auto item = [help](const char *name) {
        return help->findChild<QAction *>(QLatin1String(name));
    };
    ASSERT_TRUE(item("menuSupport") && item("menuContact") && item("menuWebsite"));
    emit help->aboutToShow();
    EXPECT_FALSE(item("menuSupport")->isEnabled());
    EXPECT_FALSE(item("menuContact")->isEnabled());
    EXPECT_FALSE(item("menuWebsite")->isEnabled());
    EXPECT_TRUE(item("menuAbout")->isEnabled());
    delegate.doSupport();
    delegate.doWebsite();
    EXPECT_TRUE(opened.isEmpty());

    delegate.doAbout();
    TWAboutController *about = delegate.aboutController();
    ASSERT_TRUE(about);
    EXPECT_FALSE(about->websiteButton()->isEnabled());

    // Configured, the links are on and lead there.
    TWPreferences::preferences().setSupportAddress(QStringLiteral("help@example.org"));
    TWPreferences::preferences().setSiteURL(QStringLiteral("https://www.example.org/"));
    emit help->aboutToShow();
    EXPECT_TRUE(item("menuSupport")->isEnabled());
    EXPECT_FALSE(item("menuContact")->isEnabled());
    EXPECT_TRUE(item("menuWebsite")->isEnabled());
    item("menuSupport")->trigger();
    item("menuWebsite")->trigger();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(opened[0].toString().startsWith(QStringLiteral("mailto:help@example.org")));
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("https://www.example.org/")));
    delegate.doAbout();
    EXPECT_TRUE(about->websiteButton()->isEnabled());
}

} // namespace
