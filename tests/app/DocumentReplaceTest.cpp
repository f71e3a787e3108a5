// Save As onto a package that exists, and saves after the open package was
// renamed: the document's own package is saved in place however it is named
// now, only a business package is replaced and only by a whole one, and a
// save cut off leaves nothing that a later save or opening keeps.

#include "TWAppTestSupport.h"

#include "model/TWTransaction.h"
#include "store/TWPackageFiles.h"
#include "store/TWTransactionEditing.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <csignal>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

class DocumentReplaceTest : public TWAppTest
{
protected:
    void TearDown() override
    {
        TWPackageFiles::setSaveStepHook(nullptr);
        TWAppTest::TearDown();
    }

    // A transaction with one attachment, "Receipt N.pdf" holding "receipt N".
    void addReceipt(TWBusiness &business, int n)
    {
        const QString name = QStringLiteral("Receipt %1.pdf").arg(n);
        const QString source = dir.filePath(QStringLiteral("sources/") + name);
        QDir().mkpath(QFileInfo(source).absolutePath());
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("receipt ") + QByteArray::number(n));
        file.close();
        auto transaction = std::make_shared<TWTransaction>();
        transaction->setIdentifier(business.nextTransactionIdentifier());
        transaction->setDate(QDateTime(QDate(2024, 3, n), QTime(0, 0)));
        transaction->setPayee(QStringLiteral("Payee %1").arg(n));
        transaction->setAccount1Identifier(business.accounts().at(0)->identifier());
        transaction->setAccount2Identifier(business.accounts().at(1)->identifier());
        transaction->setUnit(business.homeUnit());
        transaction->setHasAttachments(true);
        transaction->setAttachments(TWAttachmentList{
            TWAttachment::attachmentWithFileName(name, source, QStringLiteral("application/pdf"),
                                                 TWAttachmentTypeFile, 0, 0, {}, 0, 0, 9, 0)});
        transaction->setDirtyAttachments(true);
        ASSERT_OK(business.addTransaction(transaction, false, false, false, false));
    }

    std::unique_ptr<TWBusinessController> documentWithReceipts(const QString &name, int count)
    {
        auto document = newDocument(name);
        for (int n = 1; n <= count; ++n)
            addReceipt(*document->business(), n);
        return document;
    }

    // The contents of the attachment files the package holds for its
    // transactions, sorted; a missing file counts as "missing".
    static QStringList receipts(const QString &package)
    {
        TWErrorResult error;
        auto business = TWBusiness::businessWithURL(QUrl::fromLocalFile(package), false, &error);
        if (!business)
            return {QStringLiteral("not opened")};
        QStringList contents;
        for (const TWTransactionPtr &transaction : business->transactions()) {
            const std::optional<TWAttachmentList> &attachments =
                twLoadedAttachments(*transaction, *business);
            for (const TWAttachmentPtr &attachment : attachments.value_or(TWAttachmentList{})) {
                QFile file(attachment->filePath());
                contents.append(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                               : QStringLiteral("missing"));
            }
        }
        contents.sort();
        return contents;
    }

    static QStringList receiptsNumbered(int count)
    {
        QStringList contents;
        for (int n = 1; n <= count; ++n)
            contents.append(QStringLiteral("receipt %1").arg(n));
        contents.sort();
        return contents;
    }

    static QStringList hiddenEntries(const QString &folder)
    {
        return QDir(folder).entryList(QStringList{QStringLiteral(".*")},
                                      QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Every path below `folder` (entries of entries), for before-and-after
    // comparisons.
    static QStringList tree(const QString &folder)
    {
        QStringList paths;
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            paths.append(it.next().mid(folder.size()));
        paths.sort();
        return paths;
    }

    static QString real(const QUrl &url) { return TWPackageFiles::resolvedPath(url.toLocalFile()); }
};

TEST_F(DocumentReplaceTest, SaveAsOntoTheOwnPackageUnderItsNewNameIsASaveInPlace)
{
    struct Case {
        const char *renamed; // below dir: what the file manager renamed
        const char *to;
        const char *package; // the package's new path below dir
    };
    const Case cases[] = {
        {"Books/Acme.tallyworth", "Books/Renamed.tallyworth", "Books/Renamed.tallyworth"},
        {"Books", "Ledgers", "Ledgers/Acme.tallyworth"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.renamed);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.filePath(QStringLiteral("Books")));
        auto document = documentWithReceipts(QStringLiteral("Acme"), 3);
        const QString first = dir.filePath(QStringLiteral("Books/Acme.tallyworth"));
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(first)));
        ASSERT_TRUE(QDir().rename(dir.filePath(QLatin1String(c.renamed)),
                                  dir.filePath(QLatin1String(c.to))));
        addReceipt(*document->business(), 4);

        const QString now = dir.filePath(QLatin1String(c.package));
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(now)));
        EXPECT_TRUE(prompts.errors.isEmpty());
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'\n').toStdString();
        EXPECT_EQ(real(document->fileURL()), TWPackageFiles::resolvedPath(now));
        EXPECT_EQ(receipts(now), receiptsNumbered(4));
        EXPECT_TRUE(hiddenEntries(QFileInfo(now).absolutePath()).isEmpty())
            << hiddenEntries(QFileInfo(now).absolutePath()).join(u' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(first));
    }
}

TEST_F(DocumentReplaceTest, APlainSaveAfterARenameSavesWhereThePackageIsNowAndSaysSo)
{
    auto document = documentWithReceipts(QStringLiteral("Acme"), 2);
    const QString first = dir.filePath(QStringLiteral("Acme.tallyworth"));
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(first)));
    const QString now = dir.filePath(QStringLiteral("Acme 2024.tallyworth"));
    ASSERT_TRUE(QDir().rename(first, now));
    addReceipt(*document->business(), 3);
    document->updateChangeCount(0);

    ASSERT_TRUE(document->saveDocument());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(first)) << "a second, empty-handed package was written";
    EXPECT_EQ(real(document->fileURL()), TWPackageFiles::resolvedPath(now));
    EXPECT_EQ(TWPreferences::preferences().lastOpenBusinessURL(),
              document->fileURL().toLocalFile());
    EXPECT_EQ(receipts(now), receiptsNumbered(3));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages.first().contains(now)) << prompts.messages.first().toStdString();

    // From then on it is simply the document's package.
    addReceipt(*document->business(), 4);
    ASSERT_TRUE(document->saveDocument());
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(receipts(now), receiptsNumbered(4));
}

TEST_F(DocumentReplaceTest, OnlyABusinessPackageIsReplacedAndAnyOtherFolderIsLeftAlone)
{
    const QString other = dir.filePath(QStringLiteral("Other.tallyworth"));
    savePackage(other, QStringLiteral("Other"));
    const auto write = [](const QString &path, const QByteArray &content) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    struct Case {
        const char *name;
        std::function<void(const QString &target)> make;
    };
    const Case cases[] = {
        {"a folder holding two businesses",
         [&](const QString &target) {
             savePackage(target, QStringLiteral("Outer"));
             ASSERT_TRUE(QDir().rename(other, QDir(target).filePath("Other.tallyworth")));
         }},
        {"a plain folder of the user's files",
         [&](const QString &target) {
             write(QDir(target).filePath("notes.txt"), "notes");
             write(QDir(target).filePath("Photos/beach.jpg"), "jpeg");
         }},
        {"a business holding a file of the user's",
         [&](const QString &target) {
             savePackage(target, QStringLiteral("Outer"));
             write(QDir(target).filePath("Attachments/Scans/letter.pdf"), "letter");
         }},
        {"an SQL text named like the database",
         [&](const QString &target) {
             write(QDir(target).filePath("Data.sql"), "CREATE TABLE accounts (identifier);");
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = dir.filePath(QStringLiteral("Target.tallyworth"));
        QDir(target).removeRecursively();
        c.make(target);
        const QStringList before = tree(target);
        prompts.errors.clear();
        prompts.messages.clear();

        auto document = documentWithReceipts(QStringLiteral("Acme"), 2);
        EXPECT_FALSE(document->saveDocumentToURL(QUrl::fromLocalFile(target)));
        EXPECT_EQ(prompts.errors.size(), 1);
        for (const TWError &error : std::as_const(prompts.errors))
            EXPECT_TRUE(error.localizedDescription().contains(target))
                << error.localizedDescription().toStdString();
        EXPECT_TRUE(prompts.messages.isEmpty());
        EXPECT_EQ(tree(target), before);
        EXPECT_TRUE(hiddenEntries(dir.path()).isEmpty())
            << hiddenEntries(dir.path()).join(u' ').toStdString();
        EXPECT_TRUE(document->fileURL().isEmpty());
        if (QFileInfo::exists(QDir(target).filePath("Other.tallyworth"))) {
            ASSERT_TRUE(QDir().rename(QDir(target).filePath("Other.tallyworth"), other));
        }
    }

    // The old nesting, saved from the inner business onto the outer one.
    const QString outer = dir.filePath(QStringLiteral("Outer.tallyworth"));
    savePackage(outer, QStringLiteral("Outer"));
    const QString inner = QDir(outer).filePath(QStringLiteral("Inner.tallyworth"));
    {
        auto made = documentWithReceipts(QStringLiteral("Inner"), 2);
        const QString aside = dir.filePath(QStringLiteral("Inner.tallyworth"));
        ASSERT_TRUE(made->saveDocumentToURL(QUrl::fromLocalFile(aside)));
        ASSERT_TRUE(QDir().rename(aside, inner));
    }
    TWBusinessController document;
    TWErrorResult error;
    ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(inner), &error));
    const QStringList before = tree(outer);
    prompts.errors.clear();
    prompts.messages.clear();
    EXPECT_FALSE(document.saveDocumentToURL(QUrl::fromLocalFile(outer)));
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'\n').toStdString();
    EXPECT_EQ(tree(outer), before);
    EXPECT_EQ(receipts(inner), receiptsNumbered(2));
    EXPECT_TRUE(hiddenEntries(dir.path()).isEmpty())
        << hiddenEntries(dir.path()).join(u' ').toStdString();
}

TEST_F(DocumentReplaceTest, AReplaceEitherCompletesOrFailsBeforeTheOldBusinessIsTouched)
{
    struct Case {
        const char *name;
        // Whether a write of the save fails, given whether the old business
        // at the target has been touched yet (a disk that fills up).
        bool (*fails)(bool touched);
        bool saved;
    };
    const Case cases[] = {
        {"the disk fills while the new package is written", [](bool) { return true; }, false},
        {"the disk fills once the old business was touched", [](bool touched) { return touched; },
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = dir.filePath(QStringLiteral("Target.tallyworth"));
        QDir(target).removeRecursively();
        savePackage(target, QStringLiteral("Old Books"));
        const QStringList oldTree = tree(target);
        const QString source = dir.filePath(QStringLiteral("Source.tallyworth"));
        QDir(source).removeRecursively();
        auto document = documentWithReceipts(QStringLiteral("New Books"), 3);
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(source)));
        addReceipt(*document->business(), 4);
        prompts.errors.clear();
        prompts.messages.clear();

        TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep) {
            return c.fails(tree(target) != oldTree || businessName(target) != "Old Books");
        });
        const bool saved = document->saveDocumentToURL(QUrl::fromLocalFile(target));
        TWPackageFiles::setSaveStepHook(nullptr);

        EXPECT_EQ(saved, c.saved);
        EXPECT_EQ(prompts.errors.size(), c.saved ? 0 : 1);
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'\n').toStdString();
        if (c.saved) {
            EXPECT_EQ(real(document->fileURL()), TWPackageFiles::resolvedPath(target));
            EXPECT_EQ(businessName(target), QStringLiteral("New Books"));
            EXPECT_EQ(receipts(target), receiptsNumbered(4));
        } else {
            EXPECT_EQ(real(document->fileURL()), TWPackageFiles::resolvedPath(source));
            EXPECT_EQ(businessName(target), QStringLiteral("Old Books"));
            EXPECT_EQ(tree(target), oldTree);
        }
        // The document goes on from where it is: its next save is whole.
        ASSERT_TRUE(document->saveDocument());
        EXPECT_EQ(receipts(document->fileURL().toLocalFile()), receiptsNumbered(4));
        EXPECT_TRUE(hiddenEntries(dir.path()).isEmpty())
            << hiddenEntries(dir.path()).join(u' ').toStdString();
    }
}

TEST_F(DocumentReplaceTest, AKilledSaveAsLeavesAFolderTheNextSaveAsOrOpeningRemoves)
{
    // A folder of that name that no save made is the user's.
    const QString stranger = dir.filePath(QStringLiteral(".Target.tallyworth.save-0badf00d"));
    QDir().mkpath(stranger);
    {
        QFile file(QDir(stranger).filePath(QStringLiteral("mine.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString target = dir.filePath(QStringLiteral("Target.tallyworth"));
    savePackage(target, QStringLiteral("Old Books"));
    const auto leftovers = [&] {
        QStringList names = hiddenEntries(dir.path());
        names.removeAll(QFileInfo(stranger).fileName());
        return names;
    };

    enum class Next { SaveAs, Open };
    for (const Next next : {Next::SaveAs, Next::Open}) {
        SCOPED_TRACE(next == Next::SaveAs ? "Save As" : "Open");
        auto document = documentWithReceipts(QStringLiteral("New Books"), 2);
        const auto again = [&] {
            if (next == Next::SaveAs) {
                auto other = documentWithReceipts(QStringLiteral("Other Books"), 1);
                EXPECT_TRUE(other->saveDocumentToURL(QUrl::fromLocalFile(target)));
            } else {
                TWBusinessController opened;
                TWErrorResult error;
                EXPECT_TRUE(opened.readFromURL(QUrl::fromLocalFile(target), &error));
            }
        };

        // A second process saves onto the target and is killed half-way.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep step) {
                if (step == TWPackageFiles::SaveStep::AttachmentsSynced) {
                    (void)!write(ready[1], "r", 1);
                    pause();
                }
                return false;
            });
            document->saveDocumentToURL(QUrl::fromLocalFile(target));
            _exit(0);
        }
        close(ready[1]);
        pollfd wait{ready[0], POLLIN, 0};
        const bool started = poll(&wait, 1, 60'000) == 1;
        close(ready[0]);
        const QStringList during = leftovers();

        // While the save runs, its folder is its own.
        again();
        const QStringList stillThere = leftovers();
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(started) << "the saving process did not start";
        EXPECT_FALSE(during.isEmpty());
        for (const QString &name : during)
            EXPECT_TRUE(stillThere.contains(name)) << name.toStdString();

        // Once it is gone, the next save or opening clears what it left.
        ASSERT_FALSE(leftovers().isEmpty());
        again();
        EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
        EXPECT_TRUE(QFileInfo::exists(QDir(stranger).filePath(QStringLiteral("mine.txt"))));
    }
}

} // namespace
