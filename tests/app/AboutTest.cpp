// The About window: its version line, made once, and its links.

#include "TWUpdateTestSupport.h"

#include "TWAboutController.h"
#include "TWApplicationDelegate.h"
#include "TWBusinessController.h"
#include "TWDocumentController.h"
#include "TWPreferencesController.h"

#include "TWLocalized.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>

namespace
{

class AboutTest : public TWUpdateTest
{
protected:
    void SetUp() override
    {
        TWUpdateTest::SetUp();
        m_build = TWAboutController::buildNumber();
    }
    void TearDown() override
    {
        TWAboutController::setBuildNumber(m_build);
        TWUpdateTest::TearDown();
    }

private:
    QString m_build;
};

TEST_F(AboutTest, TheVersionLineShowsVersionAndBuild)
{
    TWAboutController::setBuildNumber(QStringLiteral("345"));
    EXPECT_EQ(TWAboutController::versionText(), QStringLiteral("Version 2.1 (345)"));
    TWAboutController about;
    EXPECT_EQ(about.versionLabel()->text(), QStringLiteral("Version 2.1 (345)"));
    EXPECT_EQ(about.nameLabel()->text(), QCoreApplication::applicationName());
    EXPECT_TRUE(about.contactButton()->font().underline());
    EXPECT_TRUE(about.websiteButton()->font().underline());
}

TEST_F(AboutTest, AboutTwiceShowsOneWindowAndPreferencesTwiceToo)
{
    TWDocumentController documents;
    TWApplicationDelegate delegate(&documents);
    delegate.doAbout();
    TWAboutController *first = delegate.aboutController();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->window()->isVisible());
    first->window()->hide();
    delegate.doAbout();
    EXPECT_EQ(delegate.aboutController(), first);
    EXPECT_TRUE(first->window()->isVisible());

    const auto aboutWindows = [] {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += widget->objectName() == QLatin1String("TWAbout");
        return count;
    };
    EXPECT_EQ(aboutWindows(), 1);

    delegate.doPreferences();
    TWPreferencesController *preferences = delegate.preferencesController();
    ASSERT_NE(preferences, nullptr);
    delegate.doPreferences();
    EXPECT_EQ(delegate.preferencesController(), preferences);
    EXPECT_TRUE(preferences->window()->isVisible());
}

TEST_F(AboutTest, LinksOpenMailTheSiteAndTheDocuments)
{
    TWAboutController about;
    about.contactButton()->click();
    about.supportButton()->click();
    about.websiteButton()->click();
    about.doAcknowledgements();
    about.doLicense();
    ASSERT_EQ(opened.size(), 5);
    EXPECT_EQ(opened.at(0).scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(opened.at(1).toString(QUrl::FullyEncoded).contains(QStringLiteral("subject=Tallyworth%20Support")));
    EXPECT_EQ(opened.at(2).scheme(), QStringLiteral("https"));
    for (int i : {3, 4}) {
        ASSERT_TRUE(opened.at(i).isLocalFile());
        QFile pdf(opened.at(i).toLocalFile());
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
        EXPECT_TRUE(pdf.read(5) == "%PDF-");
    }
    EXPECT_TRUE(opened.at(3).toLocalFile().endsWith(QStringLiteral("Acknowledgements.pdf")));
    EXPECT_TRUE(opened.at(4).toLocalFile().endsWith(QStringLiteral("License.pdf")));
}

} // namespace
