// The preferences window: the toolbar and panes, every general control stored and bounded,
// fonts, colours, and the layouts pane over a layout manager of the test's own.

#include "TWUpdateTestSupport.h"

#include "TWPreferencesController.h"
#include "TWStepper.h"

#include "TWFontResolver.h"
#include "TWLayoutManager.h"
#include "TWLocalized.h"
#include "TWZipArchive.h"

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

    QString builtInPackage() const
    {
        for (const TWLayoutPtr &layout : layouts.layouts()) {
            if (layout->kind() == 0)
                return layout->path();
        }
        return QString();
    }

    int rowOf(const QString &name) const
    {
        for (int row = 0; row < controller->layouts().size(); ++row) {
            if (controller->layouts().at(row)->name() == name)
                return row;
        }
        return -1;
    }

    TWTestTempDir dir;
    TWLayoutManager layouts;
    std::unique_ptr<TWPreferencesController> controller;
};

TEST_F(PreferencesWindowTest, TheToolbarSwitchesPanesKeepingTopAndCentre)
{
    QToolBar *toolbar = controller->toolbar();
    ASSERT_EQ(toolbar->actions().size(), 4);
    EXPECT_EQ(controller->toolbarItem(2)->text(), TWLocalized("colors"));
    EXPECT_EQ(controller->currentPane(), TWPreferencesController::General);
    EXPECT_TRUE(controller->toolbarItem(0)->isChecked());

    controller->showWindow();
    const QRect before = controller->window()->geometry();
    controller->toolbarItem(3)->trigger();
    EXPECT_EQ(controller->currentPane(), TWPreferencesController::Layouts);
    EXPECT_TRUE(controller->pane(3)->isVisible());
    EXPECT_FALSE(controller->pane(0)->isVisible());
    const QRect after = controller->window()->geometry();
    EXPECT_EQ(after.top(), before.top());
    EXPECT_LE(std::abs(after.center().x() - before.center().x()), 1);
}

TEST_F(PreferencesWindowTest, ColorsOnlyForTheUnitedStates)
{
    TWLocaleGuard british(QStringLiteral("en_GB"));
    TWPreferencesController other(&layouts);
    EXPECT_EQ(other.toolbarItem(2)->text(), TWLocalized("colours"));
}

TEST_F(PreferencesWindowTest, CheckBoxesWithFieldsStoreTheirValues)
{
    TWPreferences &preferences = TWPreferences::preferences();
    QCheckBox *autoSave = controller->checkBox(2);
    EXPECT_FALSE(autoSave->isChecked());
    EXPECT_FALSE(controller->numberField(2)->isEnabled());

    autoSave->click();
    EXPECT_EQ(preferences.autoSave(), 5);
    EXPECT_EQ(controller->numberField(2)->text(), QStringLiteral("5"));
    EXPECT_TRUE(controller->numberField(2)->isEnabled());
    EXPECT_TRUE(controller->stepper(2)->isEnabled());
    EXPECT_EQ(controller->stepper(2)->value(), 5);

    controller->stepper(2)->stepUp();
    EXPECT_EQ(preferences.autoSave(), 6);
    EXPECT_EQ(controller->numberField(2)->text(), QStringLiteral("6"));

    autoSave->click();
    EXPECT_EQ(preferences.autoSave(), 0);
    EXPECT_TRUE(controller->numberField(2)->text().isEmpty());
    EXPECT_FALSE(controller->numberField(2)->isEnabled());
    EXPECT_FALSE(controller->stepper(2)->isEnabled());

    controller->checkBox(6)->click();
    EXPECT_EQ(preferences.idleTimeout(), 0);
    controller->checkBox(6)->click();
    EXPECT_EQ(preferences.idleTimeout(), 10);
    controller->checkBox(8)->click();
    EXPECT_EQ(preferences.minimumTaskTime(), 15);

    controller->checkBox(0)->click();
    EXPECT_EQ(preferences.openLastBusiness(), controller->checkBox(0)->isChecked());
    const bool update = preferences.checkForUpdate();
    controller->checkBox(13)->click();
    EXPECT_EQ(preferences.checkForUpdate(), !update);
}

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

TEST_F(PreferencesWindowTest, RoundingOffStoresZeroAndSelectsOneMinute)
{
    TWPreferences &preferences = TWPreferences::preferences();
    QComboBox *round = controller->popUpButton(9);
    EXPECT_TRUE(controller->checkBox(9)->isChecked());
    round->setCurrentIndex(round->findData(15));
    controller->doPopUpButton(9);
    EXPECT_EQ(preferences.roundInvoiceTaskTime(), 15);

    controller->checkBox(9)->click();
    EXPECT_EQ(preferences.roundInvoiceTaskTime(), 0);
    EXPECT_EQ(round->currentData().toInt(), 1);
    EXPECT_FALSE(round->isEnabled());

    controller->checkBox(9)->click();
    EXPECT_EQ(preferences.roundInvoiceTaskTime(), 1);
    EXPECT_TRUE(round->isEnabled());

    QComboBox *accounts = controller->popUpButton(10);
    accounts->setCurrentIndex(accounts->findData(2));
    controller->doPopUpButton(10);
    EXPECT_EQ(preferences.sortReportsAccounts(), 2u);
    preferences.setSortReportsAccounts(0);
}

TEST_F(PreferencesWindowTest, FontsShowTheirNamesAndSizesAreBounded)
{
    TWPreferences &preferences = TWPreferences::preferences();
    controller->doToolbarItem(TWPreferencesController::Fonts);
    QLineEdit *small = controller->fontSizeField(3);
    EXPECT_EQ(small->text(), QStringLiteral("12"));
    type(small, QStringLiteral("3"));
    EXPECT_DOUBLE_EQ(preferences.smallExportFontSize(), 5.0);
    type(small, QStringLiteral("1000"));
    EXPECT_DOUBLE_EQ(preferences.smallExportFontSize(), 288.0);
    controller->controlTextDidChange(3, QStringLiteral("x"));
    EXPECT_DOUBLE_EQ(preferences.smallExportFontSize(), 288.0);
    type(small, QStringLiteral("10.5"));
    EXPECT_DOUBLE_EQ(preferences.smallExportFontSize(), 10.5);
    preferences.setSmallExportFontSize(12);

    // The settings outlive the test run: the name goes back whatever happens below.
    const std::shared_ptr<void> restore(nullptr, [previous = preferences.normalExportFontName()](void *) {
        TWPreferences::preferences().setNormalExportFontName(previous);
    });
    preferences.setNormalExportFontName(QStringLiteral("No Such Font Family"));
    controller->updateFonts();
    EXPECT_EQ(controller->fontNameField(0)->text(), TWLocalized("missingFont"));

    // A font chosen in the dialog is stored under a name the resolver reads back.
    const QString family = QFontDatabase::families().value(0);
    ASSERT_FALSE(family.isEmpty());
    controller->doFont(0);
    QFont chosen(family, 20);
    chosen.setBold(true);
    controller->changeFont(chosen);
    const QString stored = preferences.normalExportFontName();
    EXPECT_EQ(stored, QFontInfo(chosen).family().section(QStringLiteral(" ["), 0, 0) +
                          QStringLiteral(" Bold"));
    const std::optional<QFont> resolved = TWFontResolver::fontWithName(stored, 14);
    ASSERT_TRUE(resolved.has_value()) << stored.toStdString();
    EXPECT_NE(controller->fontNameField(0)->text(), TWLocalized("missingFont"));
    EXPECT_DOUBLE_EQ(controller->fontNameField(0)->font().pointSizeF(), 14.0);
}

TEST_F(PreferencesWindowTest, ColourWellsStoreTheirColours)
{
    controller->doToolbarItem(TWPreferencesController::Colours);
    const QColor previous = TWPreferences::preferences().paidColour();
    controller->doColourWell(11, QColor(10, 200, 30));
    EXPECT_EQ(TWPreferences::preferences().paidColour(), QColor(10, 200, 30));
    EXPECT_EQ(controller->colourWell(11)->property("colour").value<QColor>(), QColor(10, 200, 30));
    TWPreferences::preferences().setPaidColour(previous);
}

TEST_F(PreferencesWindowTest, LayoutsPaneEnablingSortingImportExportAndDelete)
{
    controller->doToolbarItem(TWPreferencesController::Layouts);
    ASSERT_FALSE(controller->layouts().isEmpty());
    EXPECT_FALSE(controller->exportLayoutItem()->isEnabled());
    EXPECT_FALSE(controller->deleteLayoutButton()->isEnabled());
    controller->selectLayout(0);
    EXPECT_TRUE(controller->exportLayoutItem()->isEnabled());
    EXPECT_FALSE(controller->deleteLayoutButton()->isEnabled());
    EXPECT_FALSE(controller->tableViewDelete());
    EXPECT_TRUE(alerts.isEmpty());

    // A package without "layout.xml": the error, and nothing added.
    const QString broken = dir.filePath(QStringLiteral("Broken.twlayout"));
    {
        auto zip = TWZipArchive::zipArchive();
        ASSERT_TRUE(zip->createZipFile(broken));
        ASSERT_TRUE(zip->addFileDataToZip("hello", QStringLiteral("readme.txt")));
        ASSERT_TRUE(zip->close());
    }
    const int before = int(controller->layouts().size());
    controller->importLayoutFile(broken);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.last().alert.message, QStringLiteral("XML Parse Error"));
    EXPECT_EQ(alerts.last().alert.informativeText, TWLocalized("missingLayoutFile"));
    EXPECT_EQ(controller->layouts().size(), before);
    EXPECT_TRUE(QDir(TWLayoutManager::userLayoutsFolder()).entryList(QDir::Files).isEmpty());

    // A valid package is added and listed as a custom layout.
    const QString mine = dir.filePath(QStringLiteral("Mine.twlayout"));
    ASSERT_TRUE(QFile::copy(builtInPackage(), mine));
    controller->importLayoutFile(mine);
    EXPECT_EQ(alerts.size(), 1);
    ASSERT_EQ(controller->layouts().size(), before + 1);
    const int row = rowOf(QStringLiteral("Mine"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(controller->layoutsTable()->model()->index(row, 1).data().toString(),
              TWLocalized("custom"));

    // Sorting by type orders the rows by their kind texts.
    controller->sortLayouts(1, Qt::AscendingOrder);
    QStringList kinds;
    for (int i = 0; i < controller->layouts().size(); ++i)
        kinds.append(controller->layoutsTable()->model()->index(i, 1).data().toString());
    QStringList sorted = kinds;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(kinds, sorted);
    EXPECT_FALSE(controller->exportLayoutItem()->isEnabled());
    controller->sortLayouts(0, Qt::AscendingOrder);

    // Export over an existing file replaces it.
    controller->selectLayout(rowOf(QStringLiteral("Mine")));
    EXPECT_TRUE(controller->deleteLayoutButton()->isEnabled());
    const QString target = dir.filePath(QStringLiteral("Exported.twlayout"));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older file");
    }
    controller->exportLayoutTo(target);
    EXPECT_EQ(alerts.size(), 1);
    QFile exported(target);
    QFile original(mine);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(exported.readAll(), original.readAll());

    // An export that cannot be written leaves an error and no partial file.
    controller->exportLayoutTo(dir.filePath(QStringLiteral("missing/folder/x.twlayout")));
    EXPECT_EQ(alerts.size(), 2);

    // Delete asks first; cancel keeps the layout, the first button removes it.
    const QString copied = controller->selectedLayout()->path();
    controller->doButton(0);
    ASSERT_EQ(alerts.size(), 3);
    EXPECT_EQ(alerts.last().alert.message, TWLocalized("deleteLayoutMessage"));
    answer(1001);
    EXPECT_GE(rowOf(QStringLiteral("Mine")), 0);
    controller->selectLayout(rowOf(QStringLiteral("Mine")));
    EXPECT_TRUE(controller->tableViewDelete());
    answer(1000);
    EXPECT_EQ(rowOf(QStringLiteral("Mine")), -1);
    EXPECT_FALSE(QFile::exists(copied));
    EXPECT_EQ(controller->layouts().size(), before);
}

} // namespace
