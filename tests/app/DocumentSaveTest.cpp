// Save, Save As and Revert: the document's place changes only with a write
// that succeeded, a replaced package goes only once its successor is whole,
// and a revert that cannot read keeps what is open.

#include "TWAppTestSupport.h"
#include "app/TWDocumentController.h"

#include "model/TWFormatter.h"
#include "model/TWTransaction.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QThreadPool>

#include <atomic>

namespace
{

using DocumentSaveTest = TWAppTest;

TEST_F(DocumentSaveTest, AFailedSaveAsKeepsTheLocationTitleAndLastBusiness)
{
    auto document = newDocument(QStringLiteral("Acme"));
    const QString first = dir.filePath(QStringLiteral("Acme.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(first)));
    EXPECT_EQ(TWPreferences::preferences().lastOpenBusinessURL(), first);
    EXPECT_EQ(document->displayName(), QStringLiteral("Acme"));

    // Under a plain file no folder can be made.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    document->updateChangeCount(0);
    EXPECT_FALSE(document->saveDocumentToURL(
        QUrl::fromLocalFile(plain.fileName() + QStringLiteral("/Other.tallyworth"))));

    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(first));
    EXPECT_EQ(document->displayName(), QStringLiteral("Acme"));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(TWPreferences::preferences().lastOpenBusinessURL(), first);
    EXPECT_EQ(document->business()->url(), QUrl::fromLocalFile(first));
}

TEST_F(DocumentSaveTest, AFailedSaveAsOverAPackageLeavesTheOldOneWhole)
{
    const QString target = dir.filePath(QStringLiteral("Target.tallyworth"));
    savePackage(target, QStringLiteral("Old Business"));
    const QByteArray before = bytes(QDir(target).filePath(QStringLiteral("Data.sql")));

    auto document = newDocument(QStringLiteral("New Business"));
    // A write still open in the store: the package cannot be written now.
    ASSERT_OK(document->business()->beginTransaction());
    EXPECT_FALSE(document->saveDocumentToURL(QUrl::fromLocalFile(target)));
    ASSERT_OK(document->business()->commitTransaction());

    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(bytes(QDir(target).filePath(QStringLiteral("Data.sql"))), before);
    EXPECT_EQ(businessName(target), QStringLiteral("Old Business"));
    EXPECT_TRUE(document->fileURL().isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("Target.tallyworth")});
}

// A transaction of 2 March paid to "Hardware Co" with the attachment "Receipt March.pdf".
TWTransactionPtr addReceipt(TWBusiness &business, const TWTestTempDir &dir)
{
    const QString source = dir.filePath(QStringLiteral("Receipt March.pdf"));
    QFile file(source);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("pdf");
    file.close();
    auto transaction = std::make_shared<TWTransaction>();
    transaction->setIdentifier(business.nextTransactionIdentifier());
    transaction->setDate(QDateTime(QDate(2024, 3, 2), QTime(0, 0)));
    transaction->setPayee(QStringLiteral("Hardware Co"));
    transaction->setAccount1Identifier(business.accounts().at(0)->identifier());
    transaction->setAccount2Identifier(business.accounts().at(1)->identifier());
    transaction->setUnit(business.homeUnit());
    transaction->setHasAttachments(true);
    transaction->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
        QStringLiteral("Receipt March.pdf"), source, QStringLiteral("application/pdf"),
        TWAttachmentTypeFile, 0, 0, {}, 0, 0, 3, 0)});
    transaction->setDirtyAttachments(true);
    EXPECT_OK(business.addTransaction(transaction, false, false, false, false));
    return transaction;
}

void expectReceiptNamed(const QString &message, const TWTransaction &transaction)
{
    EXPECT_TRUE(message.contains(QStringLiteral("Hardware Co"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Receipt March.pdf"))) << message.toStdString();
    EXPECT_TRUE(message.contains(TWFormatter::formatter().shortDateString(transaction.date())))
        << message.toStdString();
}

TEST_F(DocumentSaveTest, SaveAsOfBooksThatLostAReceiptSucceedsAndNamesIt)
{
    TWFixedClock clock(2024, 3, 15);
    auto document = newDocument(QStringLiteral("Acme"));
    const TWTransactionPtr transaction = addReceipt(*document->business(), dir);
    const QString first = dir.filePath(QStringLiteral("Acme.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(first)));
    EXPECT_TRUE(prompts.messages.isEmpty());

    ASSERT_TRUE(QFile::remove(transaction->attachments()->at(0)->filePath()));
    const QString copy = dir.filePath(QStringLiteral("Acme copy.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(copy)));
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(copy));
    ASSERT_EQ(prompts.messages.size(), 1);
    expectReceiptNamed(prompts.messages.first(), *transaction);
}

TEST_F(DocumentSaveTest, SaveOfAChangedTransactionWhoseReceiptIsGoneSucceedsAndNamesIt)
{
    TWFixedClock clock(2024, 3, 15);
    auto document = newDocument(QStringLiteral("Acme"));
    const TWTransactionPtr transaction = addReceipt(*document->business(), dir);
    const QString path = dir.filePath(QStringLiteral("Acme.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(path)));

    ASSERT_TRUE(QFile::remove(transaction->attachments()->at(0)->filePath()));
    // Only the payee changes, through an editor's copy of the loaded list.
    const TWTransactionPtr edited = transaction->copy();
    edited->setPayee(QStringLiteral("Hardware Company"));
    edited->setDirtyAttachments(true);
    ASSERT_OK(document->business()->updateTransaction(edited, false, false, true, true));
    document->updateChangeCount(0);
    ASSERT_TRUE(document->saveDocument());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_FALSE(document->isDocumentEdited());
    ASSERT_EQ(prompts.messages.size(), 1);
    expectReceiptNamed(prompts.messages.first(), *transaction);

    // Still listed, as the message says.
    auto reopened = TWBusiness::businessWithURL(QUrl::fromLocalFile(path), false, nullptr);
    ASSERT_TRUE(reopened);
    const std::optional<TWAttachmentList> attachments = reopened->transactionAttachments(
        *reopened->transactionWithIdentifier(transaction->identifier()));
    ASSERT_TRUE(attachments && attachments->size() == 1);
    EXPECT_EQ(attachments->at(0)->fileName(), QStringLiteral("Receipt March.pdf"));
}

TEST_F(DocumentSaveTest, SaveAsBesideAStrayDatabaseFileGoesOnAndNeverMakesAPackageInAPackage)
{
    auto document = newDocument(QStringLiteral("Acme"));
    // Inside a package the save would make: refused, nothing made.
    const QString notYet = dir.filePath(QStringLiteral("NotYet.tallyworth"));
    EXPECT_FALSE(document->saveDocumentToURL(
        QUrl::fromLocalFile(notYet + QStringLiteral("/Inner.tallyworth"))));
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(notYet));
    EXPECT_TRUE(document->fileURL().isEmpty());

    // The user's Documents hold a "Data.sql" of their own (an SQL dump).
    const QString documents = dir.filePath(QStringLiteral("Documents"));
    ASSERT_TRUE(QDir().mkpath(documents));
    QFile dump(documents + QStringLiteral("/Data.sql"));
    ASSERT_TRUE(dump.open(QIODevice::WriteOnly));
    dump.close();
    const QString shop = documents + QStringLiteral("/Shop.tallyworth");
    EXPECT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(shop)));
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(shop));

    // Even a database copied out of a package makes no business of its folder.
    ASSERT_TRUE(QFile::remove(dump.fileName()));
    ASSERT_TRUE(QFile::copy(shop + QStringLiteral("/Data.sql"), dump.fileName()));
    TWDocumentController controller;
    controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(documents), false);
    EXPECT_TRUE(controller.documents().isEmpty());
    ASSERT_EQ(prompts.errors.size(), 2);
    EXPECT_EQ(prompts.errors.constLast().code(), TWPackagePlainFolderError);
    EXPECT_FALSE(QFileInfo::exists(documents + QStringLiteral("/Settings.plist")));
}

TEST_F(DocumentSaveTest, TheMissingAttachmentsMessageNamesTwentyThenHowManyMore)
{
    TWFixedClock clock(2024, 3, 15);
    const QDateTime date(QDate(2024, 3, 2), QTime(0, 0));
    const QString longName = QString(5000, QLatin1Char('n')) + QStringLiteral(".pdf");
    QList<TWMissingAttachment> missing;
    for (int i = 1; i <= 100000; ++i)
        missing.append({date, QStringLiteral("Payee %1").arg(i),
                        i == 2 ? longName : QStringLiteral("file%1.pdf").arg(i)});

    const QString message = TWBusinessController::missingAttachmentsMessage(missing);
    EXPECT_TRUE(message.contains(QStringLiteral("Payee 1: file1.pdf"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("Payee 20: file20.pdf")));
    EXPECT_FALSE(message.contains(QStringLiteral("Payee 21")));
    EXPECT_TRUE(message.contains(QStringLiteral("and 99,980 more")));
    // A long name is shortened, so the alert keeps to the screen's width.
    EXPECT_FALSE(message.contains(QString(200, QLatin1Char('n'))));
    EXPECT_TRUE(message.contains(QString(40, QLatin1Char('n'))));
    EXPECT_LT(message.size(), 3000);

    // Twenty are named whole, with nothing more to say.
    const QString twenty = TWBusinessController::missingAttachmentsMessage(missing.first(20));
    EXPECT_TRUE(twenty.contains(QStringLiteral("Payee 20: file20.pdf")));
    EXPECT_FALSE(twenty.contains(QStringLiteral("more")));
}

TEST_F(DocumentSaveTest, ClosingWaitsForBackgroundWorkAndDropsItsLateResults)
{
    auto document = newDocument();
    std::atomic<bool> finished = false;
    bool delivered = false;
    TWBusinessController *target = document.get();
    document->operationQueue()->start([&finished, &delivered, target] {
        QThread::msleep(100);
        QMetaObject::invokeMethod(
            target, [&delivered] { delivered = true; }, Qt::QueuedConnection);
        finished = true;
    });
    document.reset();
    EXPECT_TRUE(finished);
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

TEST_F(DocumentSaveTest, ARevertThatCannotReadKeepsTheOpenStoreAndSaysWhy)
{
    auto document = newDocument(QStringLiteral("Kept"));
    const QString path = dir.filePath(QStringLiteral("Broken.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(path)));
    document->makeWindowControllers();
    TWDetailController *shown = document->detailController(TWDetailTransactionsAccounts);
    document->updateChangeCount(0);
    const TWBusiness *before = document->business();

    QFile data(QDir(path).filePath(QStringLiteral("Data.sql")));
    ASSERT_TRUE(data.open(QIODevice::WriteOnly | QIODevice::Truncate));
    data.write("this is not a database");
    data.close();

    EXPECT_FALSE(document->revertDocumentToSaved());
    EXPECT_EQ(document->business(), before);
    EXPECT_EQ(document->business()->businessInfo()->name(), QStringLiteral("Kept"));
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(document->detailController(TWDetailTransactionsAccounts), shown);
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(
        prompts.errors.constFirst().localizedDescription().contains(QStringLiteral("Broken")));
}

TEST_F(DocumentSaveTest, RevertAsksFirstAndKeepsTheChangesWhenTheAnswerIsNo)
{
    auto document = newDocument(QStringLiteral("Saved Name"));
    const QString path = dir.filePath(QStringLiteral("Asked.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(path)));
    document->makeWindowControllers();
    TWBusinessInfoPtr info = document->business()->businessInfo()->copy();
    info->setName(QStringLiteral("Changed Name"));
    ASSERT_OK(document->business()->updateBusinessInfo(info));
    document->updateChangeCount(0);
    const TWBusiness *before = document->business();

    prompts.revert = false;
    EXPECT_FALSE(document->revertDocumentToSaved());
    EXPECT_EQ(prompts.revertAsked, QStringList{document->displayName()});
    EXPECT_EQ(document->business(), before);
    EXPECT_EQ(document->business()->businessInfo()->name(), QStringLiteral("Changed Name"));
    EXPECT_TRUE(document->isDocumentEdited());

    prompts.revert = true;
    EXPECT_TRUE(document->revertDocumentToSaved());
    EXPECT_EQ(prompts.revertAsked.size(), 2);
    EXPECT_EQ(document->business()->businessInfo()->name(), QStringLiteral("Saved Name"));
    EXPECT_FALSE(document->isDocumentEdited());
}

} // namespace
