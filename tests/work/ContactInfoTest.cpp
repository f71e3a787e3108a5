// The client and merchant forms as the document runs them (a new record in
// a sheet, the chosen one in the information popover), what Save writes
// into the record, and the address-book picker that fills them.

#include "TWRecordTestSupport.h"
#include "work/TWClientInfoController.h"
#include "work/TWContactInfoEditor.h"
#include "work/TWMerchantInfoController.h"
#include "work/TWWork.h"

#include "app/TWAlert.h"
#include "app/TWControls.h"

#include "foundation/TWLocalized.h"
#include "model/TWMerchant.h"
#include "model/TWStoredImage.h"

#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTreeView>

#include <sys/stat.h>

namespace
{

QByteArray pngBytes(int width, int height, Qt::GlobalColor colour = Qt::blue)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

class ContactInfoTest : public TWRecordTest
{
protected:
    void SetUp() override
    {
        TWRecordTest::SetUp();
        twRegisterWork();
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message + QLatin1Char('|') + alert.informativeText);
            if (completion)
                completion(1000);
        });
        QDir(contactsFolder()).removeRecursively();
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        QDir(contactsFolder()).removeRecursively();
        TWRecordTest::TearDown();
    }

    static QString contactsFolder() { return TWAddressBook::contactsFolder(); }

    std::unique_ptr<TWBusinessController> documentWithContacts()
    {
        return windowDocument([this](TWBusiness &b) {
            client = addClient(b, QStringLiteral("Acme"));
            client->setCompany(QStringLiteral("Acme Inc"));
            client->setWebsite(QUrl(QStringLiteral("https://acme.example")));
            client->setStoredLogo(TWStoredImage::fromData(logoBytes));
            EXPECT_OK(b.updateClient(client, false));
            merchant = TWMerchant::merchantWithIdentifier(
                b.nextMerchantIdentifier(), QStringLiteral("Paper Co"), QStringLiteral("Paper"), 0,
                0, QImage(), QStringLiteral("555-0100"), {}, {}, QUrl(), {}, {});
            EXPECT_OK(b.addMerchant(merchant, false));
        });
    }

    template <typename Editor>
    Editor *openPopover(TWBusinessController &document, TWItemType type, qint32 identifier,
                        qint64 tag)
    {
        select(document, TWMasterItemEntity, type, identifier);
        document.showInspector(false);
        return qobject_cast<Editor *>(document.editInfoController(tag));
    }

    const QByteArray logoBytes = pngBytes(40, 20);
    TWClientPtr client;
    TWMerchantPtr merchant;
    QStringList alerts;
};

// A delegate that remembers what the picker handed it.
struct RecordingDelegate final : TWAddressBookPickerControllerDelegate {
    void addressBookPickerControllerDidClose(const TWPersonPtr &person) override
    {
        ++calls;
        chosen = person;
    }
    int calls = 0;
    TWPersonPtr chosen;
};

} // namespace

TEST_F(ContactInfoTest, BothEditorsAreRegistered)
{
    TWAppRegistry &registry = TWAppRegistry::registry();
    std::unique_ptr<TWEditorController> clientEditor(
        registry.makeEditor(TWEditorKind::ClientInfo, nullptr));
    std::unique_ptr<TWEditorController> merchantEditor(
        registry.makeEditor(TWEditorKind::MerchantInfo, nullptr));
    EXPECT_TRUE(qobject_cast<TWClientInfoController *>(clientEditor.get()));
    EXPECT_TRUE(qobject_cast<TWMerchantInfoController *>(merchantEditor.get()));
}

TEST_F(ContactInfoTest, ANewClientIsSavedThroughTheSheetWithEmptyFieldsAsNone)
{
    auto document = documentWithContacts();
    document->newClient();
    auto *editor =
        qobject_cast<TWClientInfoController *>(document->newInfoController(TWItemTypeClient));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->mode(), 0);
    EXPECT_TRUE(editor->view()->isVisible());
    EXPECT_TRUE(editor->nameTextField()->text().isEmpty());
    editor->nameTextField()->setText(QStringLiteral("Globex"));
    editor->phoneTextField()->setText(QStringLiteral("555-0199"));
    editor->websiteTextField()->setText(QStringLiteral("globex.example/about"));
    editor->addressTextView()->setPlainText(QStringLiteral("1 Main St\nSpringfield"));
    editor->saveButton()->click();
    settle();

    ASSERT_TRUE(editor->client());
    const TWClientPtr stored =
        document->business()->clientWithIdentifier(editor->client()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name(), QStringLiteral("Globex"));
    EXPECT_EQ(stored->phone(), QStringLiteral("555-0199"));
    EXPECT_EQ(stored->website(), QUrl(QStringLiteral("http://globex.example/about")));
    EXPECT_EQ(stored->address(), QStringLiteral("1 Main St\nSpringfield"));
    EXPECT_TRUE(stored->company().isNull());
    EXPECT_TRUE(stored->fax().isNull());
    EXPECT_TRUE(stored->email().isNull());
    EXPECT_TRUE(stored->notes().isNull());
    EXPECT_FALSE(stored->storedLogo().hasData());
    // Filed in the source list and chosen there.
    const TWMasterItemPtr chosen = master(*document).selectedMasterItem();
    ASSERT_TRUE(chosen && chosen->item());
    EXPECT_EQ(chosen->item()->identifier(), stored->identifier());
    EXPECT_TRUE(prompts.errors.isEmpty());

    // Cancelling the next one adds nothing.
    const qsizetype count = document->business()->clients().size();
    document->newClient();
    EXPECT_TRUE(editor->nameTextField()->text().isEmpty());
    editor->nameTextField()->setText(QStringLiteral("Never"));
    editor->cancelButton()->click();
    settle();
    EXPECT_EQ(document->business()->clients().size(), count);
}

TEST_F(ContactInfoTest, ANewMerchantIsSavedThroughTheSheet)
{
    auto document = documentWithContacts();
    document->newMerchant();
    auto *editor =
        qobject_cast<TWMerchantInfoController *>(document->newInfoController(TWItemTypeMerchant));
    ASSERT_TRUE(editor);
    editor->nameTextField()->setText(QStringLiteral("Ink Supplies"));
    editor->companyTextField()->setText(QStringLiteral("Ink Ltd"));
    editor->websiteTextField()->setText(QStringLiteral("ftp://ink.example"));
    editor->logoImageView()->setImage(QImage::fromData(pngBytes(8, 8, Qt::green)));
    editor->saveButton()->click();
    settle();
    ASSERT_TRUE(editor->merchant());
    const TWMerchantPtr stored =
        document->business()->merchantWithIdentifier(editor->merchant()->identifier());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->company(), QStringLiteral("Ink Ltd"));
    // Another scheme is kept.
    EXPECT_EQ(stored->website(), QUrl(QStringLiteral("ftp://ink.example")));
    EXPECT_TRUE(stored->storedLogo().hasData());
    EXPECT_EQ(stored->logo().size(), QSize(8, 8));
}

TEST_F(ContactInfoTest, ThePopoverChangesTheClientOnSaveAndKeepsAnUntouchedLogo)
{
    auto document = documentWithContacts();
    auto *editor =
        openPopover<TWClientInfoController>(*document, TWItemTypeClient, client->identifier(), 4);
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->mode(), 1);
    EXPECT_EQ(editor->companyTextField()->text(), QStringLiteral("Acme Inc"));
    EXPECT_EQ(editor->websiteTextField()->text(), QStringLiteral("https://acme.example"));
    EXPECT_EQ(editor->logoImageView()->image().size(), QSize(40, 20));
    editor->companyTextField()->clear();
    editor->notesTextView()->setPlainText(QStringLiteral("pays late"));
    editor->saveButton()->click();
    settle();
    EXPECT_TRUE(editor->saved());
    EXPECT_FALSE(document->popover()->isShown());
    const TWClientPtr stored = document->business()->clientWithIdentifier(client->identifier());
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->company().isNull());
    EXPECT_EQ(stored->notes(), QStringLiteral("pays late"));
    EXPECT_EQ(stored->website(), QUrl(QStringLiteral("https://acme.example")));
    // The logo's stored bytes, not a re-encoding of the shown copy.
    EXPECT_EQ(stored->storedLogo().data(), logoBytes);

    // Closing without Save stores nothing.
    editor =
        openPopover<TWClientInfoController>(*document, TWItemTypeClient, client->identifier(), 4);
    ASSERT_TRUE(editor);
    editor->nameTextField()->setText(QStringLiteral("Renamed"));
    document->popover()->performClose();
    settle();
    EXPECT_FALSE(editor->saved());
    EXPECT_EQ(document->business()->clientWithIdentifier(client->identifier())->name(),
              QStringLiteral("Acme"));
}

TEST_F(ContactInfoTest, APickedPersonReplacesEveryFieldAndNobodyChangesNothing)
{
    auto document = documentWithContacts();
    auto *editor =
        openPopover<TWClientInfoController>(*document, TWItemTypeClient, client->identifier(), 4);
    ASSERT_TRUE(editor);
    editor->emailTextField()->setText(QStringLiteral("old@acme.example"));
    editor->addressBookPickerControllerDidClose(nullptr);
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Acme"));
    EXPECT_EQ(editor->emailTextField()->text(), QStringLiteral("old@acme.example"));

    auto person = std::make_shared<TWPerson>();
    person->organization = QStringLiteral("Initech");
    person->firstName = QStringLiteral("Bill");
    person->lastName = QStringLiteral("Lumbergh");
    person->phones = {{TWPersonLabel::HomeFax, QStringLiteral("555-1000")},
                      {TWPersonLabel::Pager, QStringLiteral("555-2000")},
                      {TWPersonLabel::Mobile, QStringLiteral("555-3000")}};
    person->urls = {{TWPersonLabel::Work, QStringLiteral("initech.example")}};
    TWPersonAddress address;
    address.street = QStringLiteral("4120 Freidrich Ln");
    address.city = QStringLiteral("Austin");
    person->addresses = {address};
    person->imageData = pngBytes(16, 16, Qt::yellow);
    editor->addressBookPickerControllerDidClose(person);
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Initech"));
    EXPECT_EQ(editor->companyTextField()->text(), QStringLiteral("Initech"));
    EXPECT_EQ(editor->phoneTextField()->text(), QStringLiteral("555-3000"));
    EXPECT_EQ(editor->faxTextField()->text(), QStringLiteral("555-1000"));
    EXPECT_TRUE(editor->emailTextField()->text().isEmpty());
    EXPECT_EQ(editor->websiteTextField()->text(), QStringLiteral("initech.example"));
    EXPECT_EQ(editor->addressTextView()->toPlainText(),
              QStringLiteral("4120 Freidrich Ln, Austin"));
    EXPECT_TRUE(editor->notesTextView()->toPlainText().isEmpty());
    EXPECT_EQ(editor->logoImageView()->image().size(), QSize(16, 16));
    // Nothing is stored before Save; Save stores the new logo.
    EXPECT_EQ(document->business()->clientWithIdentifier(client->identifier())->name(),
              QStringLiteral("Acme"));
    editor->saveButton()->click();
    settle();
    const TWClientPtr stored = document->business()->clientWithIdentifier(client->identifier());
    EXPECT_EQ(stored->name(), QStringLiteral("Initech"));
    EXPECT_EQ(stored->website(), QUrl(QStringLiteral("http://initech.example")));
    EXPECT_NE(stored->storedLogo().data(), logoBytes);
    EXPECT_EQ(stored->logo().size(), QSize(16, 16));

    // A person without a picture clears the logo.
    editor =
        openPopover<TWClientInfoController>(*document, TWItemTypeClient, client->identifier(), 4);
    person->imageData.clear();
    editor->addressBookPickerControllerDidClose(person);
    EXPECT_TRUE(editor->logoImageView()->image().isNull());
}

TEST_F(ContactInfoTest, ThePickerListsTheContactsFolderAndHandsOverTheChosenPerson)
{
    ASSERT_TRUE(QDir().mkpath(contactsFolder()));
    ASSERT_TRUE(writeFile(contactsFolder() + QStringLiteral("/people.vcf"),
                          "BEGIN:VCARD\nVERSION:3.0\nN:Zeta;Zoe\nEMAIL:zoe@z.example\nEND:VCARD\n"
                          "BEGIN:VCARD\nVERSION:3.0\nN:Alpha;Al\nORG:Alpha Corp\nEND:VCARD\n"));
    ASSERT_EQ(
        ::mkfifo(QFile::encodeName(contactsFolder() + QStringLiteral("/pipe.vcf")).constData(),
                 0600),
        0);
    RecordingDelegate delegate;
    TWAddressBookPickerController picker;
    picker.setTitle(QStringLiteral("Pick"));
    picker.setDelegate(&delegate);
    picker.update();
    EXPECT_EQ(picker.window()->windowTitle(), QStringLiteral("Pick"));
    EXPECT_EQ(picker.window()->windowModality(), Qt::ApplicationModal);
    ASSERT_EQ(picker.shownPeople().size(), 2);
    EXPECT_EQ(picker.shownPeople()[0]->lastName, QStringLiteral("Alpha"));
    EXPECT_TRUE(picker.statusLabel()->text().contains(QStringLiteral("pipe.vcf")));

    // Down from the search field selects, Up goes back.
    QTest::keyClick(picker.searchField(), Qt::Key_Down);
    QTest::keyClick(picker.searchField(), Qt::Key_Down);
    ASSERT_TRUE(picker.selectedPerson());
    EXPECT_EQ(picker.selectedPerson()->lastName, QStringLiteral("Zeta"));
    QTest::keyClick(picker.searchField(), Qt::Key_Up);
    EXPECT_EQ(picker.selectedPerson()->lastName, QStringLiteral("Alpha"));

    picker.searchField()->setText(QStringLiteral("zoe"));
    ASSERT_EQ(picker.shownPeople().size(), 1);
    // Save with nobody selected gives none.
    picker.showWindow(nullptr);
    picker.saveButton()->click();
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_FALSE(delegate.chosen);
    EXPECT_FALSE(picker.window()->isVisible());

    // The next showing starts with an empty search; a double click chooses.
    picker.update();
    picker.showWindow(nullptr);
    EXPECT_TRUE(picker.searchField()->text().isEmpty());
    EXPECT_EQ(picker.shownPeople().size(), 2);
    picker.selectRow(1);
    settle();
    QTreeView *list = picker.peopleView();
    const QRect row = list->visualRect(list->model()->index(1, 0));
    ASSERT_TRUE(row.isValid());
    // The first click of a double click selects the row, the second chooses.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(delegate.calls, 2);
    ASSERT_TRUE(delegate.chosen);
    EXPECT_EQ(delegate.chosen->firstName, QStringLiteral("Zoe"));

    // Cancel (or Escape) with a selection still gives none.
    picker.update();
    picker.showWindow(nullptr);
    picker.selectRow(0);
    QTest::keyClick(picker.window(), Qt::Key_Escape);
    EXPECT_EQ(delegate.calls, 3);
    EXPECT_FALSE(delegate.chosen);
}

TEST_F(ContactInfoTest, AFileOpenedInThePickerJoinsTheListOrSaysWhyNot)
{
    RecordingDelegate delegate;
    TWAddressBookPickerController picker;
    picker.setDelegate(&delegate);
    picker.update();
    EXPECT_TRUE(picker.shownPeople().isEmpty());
    EXPECT_TRUE(picker.statusLabel()->text().contains(contactsFolder()));

    const QString good = dir.filePath(QStringLiteral("card.vcf"));
    ASSERT_TRUE(writeFile(good, "BEGIN:VCARD\nVERSION:4.0\nFN:Mia Wong\nEND:VCARD\n"));
    EXPECT_TRUE(picker.openFile(good));
    ASSERT_TRUE(picker.selectedPerson());
    EXPECT_EQ(picker.selectedPerson()->firstName, QStringLiteral("Mia Wong"));
    EXPECT_TRUE(alerts.isEmpty());

    const QString link = dir.filePath(QStringLiteral("link.vcf"));
    ASSERT_TRUE(QFile::link(good, link));
    EXPECT_FALSE(picker.openFile(link));
    const QString text = dir.filePath(QStringLiteral("notes.vcf"));
    ASSERT_TRUE(writeFile(text, "nothing here"));
    EXPECT_FALSE(picker.openFile(text));
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts[0].contains(QStringLiteral("link.vcf")));
    EXPECT_TRUE(alerts[0].contains(TWLocalized("addressBookNotRegularFile")));
    EXPECT_TRUE(alerts[1].contains(TWLocalized("addressBookNoContacts")));

    // Opened people stay for the picker's next showing.
    picker.update();
    EXPECT_EQ(picker.shownPeople().size(), 1);
    picker.selectRow(0);
    picker.doSave(1);
    ASSERT_TRUE(delegate.chosen);
    EXPECT_EQ(delegate.chosen->firstName, QStringLiteral("Mia Wong"));
}

TEST_F(ContactInfoTest, TheEditorsPickerFillsTheFormEndToEnd)
{
    ASSERT_TRUE(QDir().mkpath(contactsFolder()));
    ASSERT_TRUE(writeFile(contactsFolder() + QStringLiteral("/one.vcf"),
                          "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Nguyen;Linh\r\n"
                          "TEL;TYPE=WORK,FAX:555-7000\r\nTEL;TYPE=WORK:555-7001\r\n"
                          "EMAIL:linh@example.com\r\nNOTE:Prefers e-mail\r\nEND:VCARD\r\n"));
    auto document = documentWithContacts();
    document->newMerchant();
    auto *editor =
        qobject_cast<TWMerchantInfoController *>(document->newInfoController(TWItemTypeMerchant));
    ASSERT_TRUE(editor);
    editor->addressBookButton()->click();
    TWAddressBookPickerController *picker = editor->addressBookPickerController();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->window()->windowTitle(), TWLocalized("selectMerchant"));
    EXPECT_TRUE(picker->window()->isVisible());
    picker->selectRow(0);
    picker->saveButton()->click();
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Linh Nguyen"));
    EXPECT_TRUE(editor->companyTextField()->text().isEmpty());
    EXPECT_EQ(editor->phoneTextField()->text(), QStringLiteral("555-7001"));
    EXPECT_EQ(editor->faxTextField()->text(), QStringLiteral("555-7000"));
    EXPECT_EQ(editor->emailTextField()->text(), QStringLiteral("linh@example.com"));
    EXPECT_EQ(editor->notesTextView()->toPlainText(), QStringLiteral("Prefers e-mail"));
    editor->saveButton()->click();
    settle();
    ASSERT_TRUE(editor->merchant());
    EXPECT_EQ(
        document->business()->merchantWithIdentifier(editor->merchant()->identifier())->email(),
        QStringLiteral("linh@example.com"));
}

TEST_F(ContactInfoTest, WindowsOpenedFromThePopoverSetItAsideInsteadOfClosingIt)
{
    ASSERT_TRUE(QDir().mkpath(contactsFolder()));
    ASSERT_TRUE(writeFile(contactsFolder() + QStringLiteral("/one.vcf"),
                          "BEGIN:VCARD\nVERSION:3.0\nN:Ito;Ken\nORG:Ito Design\nEND:VCARD\n"));
    auto document = documentWithContacts();
    auto *editor =
        openPopover<TWClientInfoController>(*document, TWItemTypeClient, client->identifier(), 4);
    ASSERT_TRUE(editor);
    TWPopover *popover = document->popover();
    QSignalSpy closed(popover, &TWPopover::closed);

    // The picker: the popover steps aside and comes back with the person.
    editor->addressBookButton()->click();
    EXPECT_TRUE(popover->isSuspended());
    EXPECT_FALSE(popover->isShown());
    TWAddressBookPickerController *picker = editor->addressBookPickerController();
    ASSERT_TRUE(picker && picker->window()->isVisible());
    picker->selectRow(0);
    picker->saveButton()->click();
    settle();
    EXPECT_FALSE(popover->isSuspended());
    EXPECT_TRUE(popover->isShown());
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(editor->nameTextField()->text(), QStringLiteral("Ito Design"));

    // The logo's file chooser does the same.
    QTest::mouseClick(editor->logoImageView(), Qt::LeftButton);
    settle();
    ASSERT_TRUE(editor->logoImageView()->openDialog());
    EXPECT_TRUE(popover->isSuspended());
    editor->logoImageView()->openDialog()->reject();
    settle();
    EXPECT_TRUE(popover->isShown());
    EXPECT_EQ(closed.count(), 0);

    editor->saveButton()->click();
    settle();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(document->business()->clientWithIdentifier(client->identifier())->name(),
              QStringLiteral("Ito Design"));

    // Closing a set-aside popover closes it for good.
    editor =
        openPopover<TWClientInfoController>(*document, TWItemTypeClient, client->identifier(), 4);
    popover->suspend();
    popover->performClose();
    EXPECT_EQ(closed.count(), 2);
    EXPECT_FALSE(popover->isSuspended());
}

TEST(ContactInfoWebsite, ATextWithoutASchemeIsAWebAddress)
{
    const auto url = [](const char *text) {
        return TWContactInfoEditor::websiteFromText(QString::fromUtf8(text));
    };
    EXPECT_TRUE(url("").isEmpty());
    EXPECT_EQ(url("example.com"), QUrl(QStringLiteral("http://example.com")));
    EXPECT_EQ(url("www.example.com/a?b=1"), QUrl(QStringLiteral("http://www.example.com/a?b=1")));
    EXPECT_EQ(url("https://example.com"), QUrl(QStringLiteral("https://example.com")));
    EXPECT_EQ(url("ftp://files.example"), QUrl(QStringLiteral("ftp://files.example")));
    EXPECT_EQ(url("mailto:a@example.com"), QUrl(QStringLiteral("mailto:a@example.com")));
    // Not an address even with the prefix: none, never a broken one.
    EXPECT_TRUE(url("two words").isEmpty());
}
