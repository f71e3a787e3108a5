// The preferences window: the toolbar and panes, every general control stored and bounded,
// fonts, colours, and the layouts pane over a layout manager of the test's own.

#include "TWUpdateTestSupport.h"

#include "app/TWPreferencesController.h"
#include "app/TWStepper.h"
#include "app/TWTypedNumberField.h"

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

    // Types into a field as the user does, and leaves it with Return.
    static void type(QLineEdit *field, const QString &text)
    {
        field->selectAll();
        field->del();
        // As typed (QTest types Latin letters only): an edit, then Return.
        field->insert(text);
        QTest::keyClick(field, Qt::Key_Return);
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
    type(identifier, QStringLiteral("12ab"));
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
    type(idle, QStringLiteral("soon"));
    EXPECT_EQ(preferences.idleTimeout(), 45);
    type(idle, QStringLiteral("045"));
    // Leaving the field shows what was stored.
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
        for (const double typed : {30.0, 1.5}) // a fraction is refused, never cut
            type(idle, QLocale().toString(typed));
        EXPECT_EQ(TWPreferences::preferences().idleTimeout(), 30);
        type(idle, QLocale().toString(30));
        EXPECT_EQ(idle->text(), QLocale().toString(30));
    }
}

// Each field is read whole when its typing ends, never key by key (under
// de_DE "1,5" minutes once stored 1, "2,5" as the first number 2 and a font
// size of "10.5" 10): what does not read is refused, naming the field, and
// the setting stays.
TEST_F(PreferencesWindowTest, FieldsAreReadWholeWhenTheirTypingEnds)
{
    TWPreferences &preferences = TWPreferences::preferences();
    controller->checkBox(2)->setChecked(true);
    controller->doButton(2);
    const TWLocaleGuard guard{QStringLiteral("de_DE")};
    struct Case {
        QLineEdit *field;
        QString typed;
        QString name;
        std::function<double()> stored;
        double before, after;
    };
    const QList<Case> cases = {
        {controller->numberField(2), QStringLiteral("1,5"), TWLocalized("prefsAutoSave"),
         [&] { return double(preferences.autoSave()); }, 5, 5},
        {controller->numberField(4), QStringLiteral("2,5"), TWLocalized("prefsStartingIdentifier"),
         [&] { return double(preferences.startingIdentifier()); }, 1, 1},
        {controller->fontSizeField(3), QStringLiteral("10.5"), TWLocalized("prefsSmallSize"),
         [&] { return preferences.smallExportFontSize(); }, 12, 12},
        {controller->fontSizeField(3), QStringLiteral("10,5"), QString(),
         [&] { return preferences.smallExportFontSize(); }, 12, 10.5},
        {controller->numberField(4), QStringLiteral("25"), QString(),
         [&] { return double(preferences.startingIdentifier()); }, 1, 25},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        alerts.clear();
        c.field->setFocus();
        c.field->selectAll();
        c.field->del();
        QTest::keyClicks(c.field, c.typed);
        EXPECT_DOUBLE_EQ(c.stored(), c.before);
        QTest::keyClick(c.field, Qt::Key_Return);
        EXPECT_DOUBLE_EQ(c.stored(), c.after);
        EXPECT_EQ(twIsRefused(c.field), !c.name.isEmpty());
        // The field keeps what was typed: refused, for mending; read, as stored.
        EXPECT_EQ(c.field->text(), c.typed);
        ASSERT_EQ(alerts.size(), c.name.isEmpty() ? 0 : 1);
        if (!c.name.isEmpty()) {
            EXPECT_TRUE(alerts.first().alert.message.startsWith(
                TWLocalized("refusedFieldMessage")
                    .arg(c.name.endsWith(u':') ? c.name.chopped(1) : c.name, QString())))
                << alerts.first().alert.message;
        }
    }
}

} // namespace
