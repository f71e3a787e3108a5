// Save As onto a package that exists, and saves after the open package was
// renamed: the document's own package is saved in place however it is named
// now, only a business package is replaced and only by a whole one, and a
// save cut off leaves nothing that a later save or opening keeps.

#include "TWAppTestSupport.h"

#include "model/TWTransaction.h"
#include "store/TWPackageFiles.h"
#include "store/TWTransactionEditing.h"

#include <QDirIterator>

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

    // Receipts numbered `from` to `to`: each a transaction with one attachment
    // whose file holds "receipt N".
    void addReceipts(TWBusiness &business, int from, int to)
    {
        for (int n = from; n <= to; ++n) {
            const QString source = dir.filePath(QStringLiteral("receipt%1.pdf").arg(n));
            ASSERT_TRUE(write(source, "receipt " + QByteArray::number(n)));
            auto t = std::make_shared<TWTransaction>();
            t->setIdentifier(business.nextTransactionIdentifier());
            t->setDate(QDateTime(QDate(2024, 3, n), QTime(0, 0)));
            t->setAccount1Identifier(business.accounts().at(0)->identifier());
            t->setAccount2Identifier(business.accounts().at(1)->identifier());
            t->setUnit(business.homeUnit());
            t->setHasAttachments(true);
            t->setAttachments(TWAttachmentList{TWAttachment::attachmentWithFileName(
                QFileInfo(source).fileName(), source, QStringLiteral("application/pdf"),
                TWAttachmentTypeFile, 0, 0, {}, 0, 0, 9, 0)});
            t->setDirtyAttachments(true);
            ASSERT_OK(business.addTransaction(t, false, false, false, false));
        }
    }

    static bool write(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    // What the package's attachment files hold, sorted ("missing" for none).
    static QStringList receipts(const QString &package)
    {
        auto business = TWBusiness::businessWithURL(QUrl::fromLocalFile(package), false);
        QStringList contents;
        for (const TWTransactionPtr &t : business ? business->transactions() : TWTransactionList{})
            for (const TWAttachmentPtr &a :
                 twLoadedAttachments(*t, *business).value_or(TWAttachmentList{}))
                contents.append(QString::fromUtf8(bytes(a->filePath())));
        contents.replaceInStrings(QRegularExpression(QStringLiteral("^$")), "missing");
        contents.sort();
        return contents;
    }

    static QStringList numbered(int count)
    {
        QStringList contents;
        for (int n = 1; n <= count; ++n)
            contents.append(QStringLiteral("receipt %1").arg(n));
        contents.sort();
        return contents;
    }

    QString hidden() const
    {
        return QDir(dir.path())
            .entryList({QStringLiteral(".*")},
                       QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
            .join(u' ');
    }

    // Every path below `folder`, for before-and-after comparisons.
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

    static QString real(const QString &path) { return TWPackageFiles::resolvedPath(path); }
};

TEST_F(DocumentReplaceTest, AfterARenameTheOwnPackageIsSavedWhereItIsNowWithEveryReceipt)
{
    struct Case {
        const char *from, *to, *package; // below dir: what was renamed, and the package's place
        bool plainSave;                  // a plain Save, else Save As onto the new name
    };
    const Case cases[] = {
        {"Books/Acme.tallyworth", "Books/Renamed.tallyworth", "Books/Renamed.tallyworth", false},
        {"Books", "Ledgers", "Ledgers/Acme.tallyworth", false},
        {"Books", "Ledgers", "Ledgers/Acme.tallyworth", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.to) + (c.plainSave ? " (Save)" : " (Save As)"));
        QDir(dir.filePath("Ledgers")).removeRecursively();
        prompts.messages.clear();
        auto document = newDocument(QStringLiteral("Acme"));
        addReceipts(*document->business(), 1, 3);
        const QString first = dir.filePath(QStringLiteral("Books/Acme.tallyworth"));
        QDir().mkpath(QFileInfo(first).path());
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(first)));
        ASSERT_TRUE(QDir().rename(dir.filePath(c.from), dir.filePath(c.to)));
        addReceipts(*document->business(), 4, 4);
        document->updateChangeCount(0);

        const QString now = dir.filePath(c.package);
        ASSERT_TRUE(c.plainSave ? document->saveDocument()
                                : document->saveDocumentToURL(QUrl::fromLocalFile(now)));
        EXPECT_TRUE(prompts.errors.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(first)) << "a package without receipts at the old name";
        EXPECT_EQ(real(document->fileURL().toLocalFile()), real(now));
        EXPECT_EQ(TWPreferences::preferences().lastOpenBusinessURL(),
                  document->fileURL().toLocalFile());
        EXPECT_EQ(receipts(now), numbered(4));
        EXPECT_TRUE(hidden().isEmpty()) << hidden().toStdString();
        // Nothing is missing; a plain Save says where the business went.
        EXPECT_EQ(prompts.messages.size(), c.plainSave ? 1 : 0)
            << prompts.messages.join(u'\n').toStdString();
        EXPECT_EQ(prompts.messages.join(u'\n').contains(now), c.plainSave);
    }
}

TEST_F(DocumentReplaceTest, AFolderThatIsNoBusinessPackageIsNeverReplaced)
{
    const QString target = dir.filePath(QStringLiteral("Target.tallyworth"));
    struct Case {
        const char *name;
        std::function<void()> make;
        QString open; // the document saved: the business there, else a new one
    };
    const QString inner = QDir(target).filePath(QStringLiteral("Inner.tallyworth"));
    const Case cases[] = {
        {"a folder holding the open business and another (the old nesting)",
         [&] {
             savePackage(target, QStringLiteral("Outer"));
             auto made = newDocument(QStringLiteral("Inner"));
             addReceipts(*made->business(), 1, 2);
             ASSERT_TRUE(made->saveDocumentToURL(QUrl::fromLocalFile(dir.filePath("I"))));
             ASSERT_TRUE(QDir().rename(dir.filePath("I"), inner));
         },
         inner},
        {"a plain folder of the user's files",
         [&] {
             ASSERT_TRUE(write(QDir(target).filePath("notes.txt"), "notes"));
             ASSERT_TRUE(write(QDir(target).filePath("Photos/beach.jpg"), "jpeg"));
         },
         {}},
        {"an SQL text named like the database",
         [&] {
             ASSERT_TRUE(write(QDir(target).filePath("Data.sql"), "CREATE TABLE accounts(a);"));
         },
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(target).removeRecursively();
        c.make();
        const QStringList before = tree(target);
        prompts.errors.clear();
        prompts.messages.clear();
        TWBusinessController document;
        if (c.open.isEmpty()) {
            ASSERT_OK(document.createWithBusinessInfo(TWBusinessInfo::newBusinessInfo()));
            addReceipts(*document.business(), 1, 2);
        } else {
            TWErrorResult error;
            ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(c.open), &error));
        }
        EXPECT_FALSE(document.saveDocumentToURL(QUrl::fromLocalFile(target)));
        EXPECT_EQ(prompts.errors.size(), 1);
        EXPECT_TRUE(prompts.errors.size() == 1 &&
                    prompts.errors.first().localizedDescription().contains(target));
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'\n').toStdString();
        EXPECT_EQ(tree(target), before);
        EXPECT_TRUE(hidden().isEmpty()) << hidden().toStdString();
        EXPECT_TRUE(c.open.isEmpty() || receipts(c.open) == numbered(2));
    }
}

TEST_F(DocumentReplaceTest, AReplaceEitherCompletesOrFailsBeforeTheOldBusinessIsTouched)
{
    // Whether the disk is full for a write of the save, given whether the
    // old business at the target was touched yet.
    struct Case {
        const char *name;
        bool (*full)(bool touched);
        bool saved;
    };
    const Case cases[] = {
        {"full while the new package is written", [](bool) { return true; }, false},
        {"full once the old business was touched", [](bool touched) { return touched; }, true},
    };
    const QString target = dir.filePath(QStringLiteral("Target.tallyworth"));
    const QString source = dir.filePath(QStringLiteral("Source.tallyworth"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(target).removeRecursively();
        QDir(source).removeRecursively();
        savePackage(target, QStringLiteral("Old Books"));
        const QStringList old = tree(target);
        auto document = newDocument(QStringLiteral("New Books"));
        addReceipts(*document->business(), 1, 3);
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(source)));
        addReceipts(*document->business(), 4, 4);
        prompts.errors.clear();

        TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep) {
            return c.full(tree(target) != old || businessName(target) != "Old Books");
        });
        EXPECT_EQ(document->saveDocumentToURL(QUrl::fromLocalFile(target)), c.saved);
        TWPackageFiles::setSaveStepHook(nullptr);

        EXPECT_EQ(prompts.errors.size(), c.saved ? 0 : 1);
        EXPECT_EQ(real(document->fileURL().toLocalFile()), real(c.saved ? target : source));
        EXPECT_EQ(businessName(target), c.saved ? "New Books" : "Old Books");
        EXPECT_TRUE(c.saved || tree(target) == old);
        // The document goes on from where it is, every receipt with it.
        ASSERT_TRUE(document->saveDocument());
        EXPECT_EQ(receipts(document->fileURL().toLocalFile()), numbered(4));
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'\n').toStdString();
        EXPECT_TRUE(hidden().isEmpty()) << hidden().toStdString();
    }
}

TEST_F(DocumentReplaceTest, AKilledSaveAsLeavesAFolderTheNextSaveAsOrOpeningRemoves)
{
    // A folder of that name that no save made is the user's.
    const QString stranger = dir.filePath(QStringLiteral(".Target.tallyworth.save-0badf00d"));
    ASSERT_TRUE(write(QDir(stranger).filePath(QStringLiteral("mine.txt")), "mine"));
    const QString target = dir.filePath(QStringLiteral("Target.tallyworth"));
    savePackage(target, QStringLiteral("Old Books"));
    const auto leftovers = [&] {
        return hidden().remove(QFileInfo(stranger).fileName()).trimmed();
    };

    for (const bool saveAs : {true, false}) {
        SCOPED_TRACE(saveAs ? "Save As" : "Open");
        const auto again = [&] {
            TWBusinessController document;
            TWErrorResult error;
            if (saveAs) {
                ASSERT_OK(document.createWithBusinessInfo(TWBusinessInfo::newBusinessInfo()));
            }
            EXPECT_TRUE(saveAs ? document.saveDocumentToURL(QUrl::fromLocalFile(target))
                               : document.readFromURL(QUrl::fromLocalFile(target), &error));
        };
        auto document = newDocument(QStringLiteral("New Books"));
        addReceipts(*document->business(), 1, 2);

        // Another process saves onto the target and is killed half-way.
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep step) {
                if (step == TWPackageFiles::SaveStep::AttachmentsSynced) {
                    (void)!::write(ready[1], "r", 1);
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
        // While it runs, its folder is its own.
        const QString during = leftovers();
        again();
        const QString stillThere = leftovers();
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ASSERT_TRUE(started) << "the saving process did not start";
        EXPECT_FALSE(during.isEmpty());
        EXPECT_EQ(stillThere, during);

        // Once it is gone, the next save or opening clears what it left.
        again();
        EXPECT_TRUE(leftovers().isEmpty()) << leftovers().toStdString();
        EXPECT_EQ(bytes(QDir(stranger).filePath(QStringLiteral("mine.txt"))), "mine");
    }
}

} // namespace
