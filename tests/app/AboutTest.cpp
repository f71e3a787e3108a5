// The About window: its version line, made once, and its links.

#include "TWUpdateTestSupport.h"

#include "app/TWAboutController.h"
#include "app/TWAlert.h"
#include "app/TWApplicationDelegate.h"
#include "app/TWBusinessController.h"
#include "app/TWDocumentController.h"
#include "app/TWPreferencesController.h"

#include "foundation/TWLocalized.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
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

TEST_F(AboutTest, TheAcknowledgementsAndTheLicenseOpenInTheViewer)
{
    TWDocumentController documents;
    TWApplicationDelegate delegate(&documents);
    delegate.doAbout();
    TWAboutController *about = delegate.aboutController();
    ASSERT_NE(about, nullptr);
    QList<QUrl> opened;
    twSetURLOpener([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    const struct {
        QPushButton *button;
        const char *name;
    } documentsToOpen[] = {{about->acknowledgementsButton(), "Acknowledgements"},
                           {about->licenseButton(), "License"}};
    for (const auto &entry : documentsToOpen) {
        ASSERT_TRUE(entry.button) << entry.name;
        EXPECT_TRUE(entry.button->isEnabled()) << entry.name;
        opened.clear();
        entry.button->click();
        ASSERT_EQ(opened.size(), 1) << entry.name;
        // A copy of the resource the viewer can read, named after it.
        const QString path = opened.first().toLocalFile();
        EXPECT_EQ(QFileInfo(path).fileName(), QLatin1String(entry.name) + QStringLiteral(".pdf"));
        QFile copy(path);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << entry.name;
        QFile resource(QStringLiteral(":/about/%1.pdf").arg(QLatin1String(entry.name)));
        ASSERT_TRUE(resource.open(QIODevice::ReadOnly)) << entry.name;
        EXPECT_EQ(copy.readAll(), resource.readAll()) << entry.name;
    }
    twSetURLOpener({});
}
