// The About window: its version line, made once, and its links.

#include "TWUpdateTestSupport.h"

#include "app/TWAboutController.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWDocumentController.h"
#include "app/TWPreferencesController.h"

#include "foundation/TWLocalized.h"

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

} // namespace
