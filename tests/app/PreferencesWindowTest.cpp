// The preferences window: the toolbar and panes, every general control stored and bounded,
// fonts, colours, and the layouts pane over a layout manager of the test's own.

#include "TWUpdateTestSupport.h"

#include "app/TWPreferencesController.h"
#include "app/TWStepper.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWZipArchive.h"
#include "model/TWLayoutManager.h"
#include "platform/TWFontResolver.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>

namespace
{

class PreferencesWindowTest : public TWUpdateTest
{
protected:
    void SetUp() override
    {
        TWUpdateTest::SetUp();
        QDir(TWLayoutManager::userLayoutsFolder()).removeRecursively();
        TWPreferences &preferences = TWPreferences::preferences();
        preferences.setAutoSave(0);
        preferences.setIdleTimeout(10);
        preferences.setMinimumTaskTime(0);
        preferences.setStartingIdentifier(1);
        preferences.setRoundInvoiceTaskTime(1);
        preferences.setSmallExportFontSize(12);
        layouts.update();
        controller = std::make_unique<TWPreferencesController>(&layouts);
    }
    void TearDown() override
    {
        controller.reset();
        QDir(TWLayoutManager::userLayoutsFolder()).removeRecursively();
        TWUpdateTest::TearDown();
    }

    // Types into a field as the user does.
    static void type(QLineEdit *field, const QString &text)
    {
        field->selectAll();
        field->del();
        QTest::keyClicks(field, text);
    }

    TWTestTempDir dir;
    TWLayoutManager layouts;
    std::unique_ptr<TWPreferencesController> controller;
};

TEST_F(PreferencesWindowTest, TypedNumbersAreBounded)
{
    TWPreferences &preferences = TWPreferences::preferences();
    QLineEdit *identifier = controller->numberField(4);
    type(identifier, QStringLiteral("0"));
    EXPECT_EQ(preferences.startingIdentifier(), 1u);
    type(identifier, QStringLiteral("4294967297"));
    EXPECT_EQ(preferences.startingIdentifier(), 2147483647u);
    type(identifier, QStringLiteral("1200"));
    EXPECT_EQ(preferences.startingIdentifier(), 1200u);
    EXPECT_EQ(controller->stepper(4)->value(), 1200);
    controller->controlTextDidChange(4, QStringLiteral("12ab"));
    EXPECT_EQ(preferences.startingIdentifier(), 1200u);

    controller->checkBox(6)->setChecked(true);
    controller->doButton(6);
    QLineEdit *idle = controller->numberField(6);
    type(idle, QStringLiteral("-5"));
    EXPECT_EQ(preferences.idleTimeout(), 1);
    type(idle, QStringLiteral("99999999999999999999999"));
    EXPECT_EQ(preferences.idleTimeout(), 9999);
    type(idle, QStringLiteral("45"));
    EXPECT_EQ(preferences.idleTimeout(), 45);
    controller->controlTextDidChange(6, QStringLiteral("soon"));
    EXPECT_EQ(preferences.idleTimeout(), 45);
    // Leaving the field shows what was stored.
    emit idle->editingFinished();
    EXPECT_EQ(idle->text(), QStringLiteral("45"));

    controller->stepper(4)->setValue(2147483647);
    controller->stepper(4)->stepUp();
    EXPECT_EQ(controller->stepper(4)->value(), 2147483647);
}

TEST_F(PreferencesWindowTest, TypedWholeNumbersAreReadAndShownInTheLocalesDigits)
{
    controller->checkBox(6)->setChecked(true);
    controller->doButton(6);
    QLineEdit *idle = controller->numberField(6);
    for (const char *name : {"fa_IR", "de_DE", "en_US"}) {
        SCOPED_TRACE(name);
        const TWLocaleGuard guard{QString::fromLatin1(name)};
        for (const double typed : {30.0, 1.5}) { // a fraction is refused, never cut
            idle->selectAll();
            idle->insert(QLocale().toString(typed));
        }
        EXPECT_EQ(TWPreferences::preferences().idleTimeout(), 30);
        emit idle->editingFinished();
        EXPECT_EQ(idle->text(), QLocale().toString(30));
    }
}

} // namespace
