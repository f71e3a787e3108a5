// The account form: in the information popover on a copy of a listed account,
// and as the new-account sheet; the institution switch and the website rule.

#include "TWRecordTestSupport.h"
#include "ledger/TWAccountInfoController.h"
#include "ledger/TWLedger.h"

#include "TWStoreTestSupport.h"
#include "app/TWControls.h"
#include "model/TWPreferences.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

namespace
{

class AccountInfoFixture : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        twRegisterLedger();
    }

    std::unique_ptr<TWBusinessController> documentWithAccounts()
    {
        return windowDocument([this](TWBusiness &b) {
            plain = addAccount(b, QStringLiteral("Petty cash"));
            bank = addAccount(b, QStringLiteral("Checking"));
            bank->setIsInstitution(true);
            bank->setInstitutionName(QStringLiteral("First Bank"));
            bank->setInstitutionPhone(QStringLiteral("555-0100"));
            bank->setInstitutionWebsite(QUrl(QStringLiteral("https://bank.example")));
            bank->setInstitutionWireTransfer(QStringLiteral("WT-1"));
            EXPECT_OK(b.updateAccount(bank, false));
        });
    }

    TWAccountInfoController *open(TWBusinessController &document, const TWAccountPtr &account)
    {
        select(document, TWMasterItemEntity, TWItemTypeAccount, account->identifier());
        document.showInspector(false);
        return qobject_cast<TWAccountInfoController *>(document.editInfoController(2));
    }

    static QStringList texts(const TWAccountInfoController &editor)
    {
        QStringList list;
        for (QLineEdit *field : editor.institutionFields())
            list.append(field->text());
        return list;
    }
    static int enabledCount(const TWAccountInfoController &editor)
    {
        int count = 0;
        for (QLineEdit *field : editor.institutionFields())
            count += field->isEnabled() ? 1 : 0;
        return count;
    }

    TWAccountPtr plain;
    TWAccountPtr bank;
};

using AccountInfoPopover = AccountInfoFixture;
using AccountInfoSheet = AccountInfoFixture;

} // namespace

TEST_F(AccountInfoPopover, UntickingEmptiesTheNineFieldsAndSaveStoresTheWebsite)
{
    auto document = documentWithAccounts();
    TWAccountInfoController *editor = open(*document, bank);
    ASSERT_TRUE(editor);
    editor->institutionCheckbox()->click();
    EXPECT_EQ(enabledCount(*editor), 0);
    EXPECT_EQ(texts(*editor), QStringList(9, QString()));
    // Ticking again does not bring them back.
    editor->institutionCheckbox()->click();
    EXPECT_EQ(enabledCount(*editor), 9);
    EXPECT_EQ(texts(*editor), QStringList(9, QString()));

    editor->institutionWebsiteTextField()->setText(QStringLiteral("example.com"));
    editor->notesTextView()->setPlainText(QStringLiteral("main account"));
    editor->saveButton()->click();
    EXPECT_FALSE(document->popover()->isShown());
    const TWAccountPtr stored = document->business()->accountWithIdentifier(bank->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->institutionWebsite(), QUrl(QStringLiteral("http://example.com")));
    EXPECT_TRUE(stored->isInstitution());
    EXPECT_TRUE(stored->institutionName().isNull());
    EXPECT_TRUE(stored->institutionWireTransfer().isNull());
    EXPECT_TRUE(stored->number().isNull());
    EXPECT_EQ(stored->notes(), QStringLiteral("main account"));
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(AccountInfoPopover, CancelOrAClickOutsideLeavesTheStoreAlone)
{
    auto document = documentWithAccounts();
    TWAccountInfoController *editor = open(*document, bank);
    ASSERT_TRUE(editor);
    editor->nameTextField()->setText(QStringLiteral("Renamed"));
    editor->institutionCheckbox()->click();
    editor->cancelButton()->click();
    EXPECT_FALSE(editor->saved());
    TWAccountPtr stored = document->business()->accountWithIdentifier(bank->identifier());
    EXPECT_EQ(stored->name(), QStringLiteral("Checking"));
    EXPECT_EQ(stored->institutionName(), QStringLiteral("First Bank"));

    editor = open(*document, bank);
    editor->nameTextField()->setText(QStringLiteral("Renamed"));
    document->popover()->performClose();
    stored = document->business()->accountWithIdentifier(bank->identifier());
    EXPECT_EQ(stored->name(), QStringLiteral("Checking"));
}

TEST_F(AccountInfoSheet, ANewAccountTakesTheChosenTypeAndUnit)
{
    auto document = documentWithAccounts();
    TWPreferences::preferences().setLastAccountType(3);
    document->newAccount(false);
    auto *editor =
        qobject_cast<TWAccountInfoController *>(document->newInfoController(TWItemTypeAccount));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->mode(), 0);
    EXPECT_TRUE(editor->typePopUpButton()->isVisibleTo(editor->view()));
    EXPECT_EQ(editor->typePopUpButton()->selectedTag(), 3);
    ASSERT_TRUE(editor->selectedUnit());
    EXPECT_EQ(editor->selectedUnit()->code(), document->business()->homeUnit()->code());
    // No mileage units among the currencies.
    for (int i = 0; i < editor->currencyPopUpButton()->count(); ++i)
        EXPECT_FALSE(
            editor->currencyPopUpButton()->itemText(i).startsWith(QStringLiteral("Miles")));
    EXPECT_EQ(enabledCount(*editor), 0);

    editor->typePopUpButton()->selectItemWithTag(15);
    editor->nameTextField()->setText(QStringLiteral("Consulting"));
    const int euro =
        editor->currencyPopUpButton()->findText(QStringLiteral("Euro"), Qt::MatchStartsWith);
    ASSERT_GE(euro, 0);
    editor->currencyPopUpButton()->setCurrentIndex(euro);
    editor->saveButton()->click();
    settle();
    ASSERT_TRUE(editor->account());
    const TWAccountPtr stored =
        document->business()->accountWithIdentifier(editor->account()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name(), QStringLiteral("Consulting"));
    EXPECT_EQ(int(stored->accountType()), 15);
    EXPECT_EQ(stored->unit()->code(), QStringLiteral("EUR"));
    EXPECT_FALSE(stored->isInstitution());
}

TEST(AccountInfoCurrency, AHomeCurrencyMissingFromTheMenuFallsBackToDollars)
{
    auto business = twMakeBusinessWithUnits(QStringLiteral("EUR"));
    ASSERT_TRUE(business);
    // Take the home currency out of the menu's units.
    twExec(*business, "DELETE FROM units WHERE code = 'EUR';");
    ASSERT_OK(business->loadUnits());
    TWAccountInfoController editor;
    editor.setBusiness(business.get());
    editor.setMode(0);
    editor.view();
    editor.reset();
    ASSERT_TRUE(editor.selectedUnit());
    EXPECT_EQ(editor.selectedUnit()->code(), QStringLiteral("USD"));
}

TEST_F(AccountInfoPopover, ReturnSavesButStaysANewLineInTheNotes)
{
    auto document = documentWithAccounts();
    TWAccountInfoController *editor = open(*document, plain);
    ASSERT_TRUE(editor);
    QApplication::processEvents();
    editor->notesTextView()->setFocus();
    QTest::keyClick(editor->notesTextView(), Qt::Key_Return);
    EXPECT_TRUE(document->popover()->isShown());
    EXPECT_EQ(editor->notesTextView()->toPlainText(), QStringLiteral("\n"));

    editor->nameTextField()->setFocus();
    editor->nameTextField()->setText(QStringLiteral("Float"));
    QTest::keyClick(editor->nameTextField(), Qt::Key_Return);
    EXPECT_TRUE(editor->saved());
    EXPECT_FALSE(document->popover()->isShown());
    EXPECT_EQ(document->business()->accountWithIdentifier(plain->identifier())->name(),
              QStringLiteral("Float"));
}
