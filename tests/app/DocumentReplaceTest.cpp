// Save As onto a package that exists, and saves after the open package was
// renamed: the document's own package is saved in place however it is named
// now, only a business package is replaced and only by a whole one, and a
// save cut off leaves nothing that a later save or opening keeps.

#include "TWAppTestSupport.h"
#include "app/TWPackageMoves.h"
#include "app/TWPackageWorkFolder.h"

#include "model/TWTransaction.h"
#include "store/TWPackageFiles.h"
#include "store/TWTransactionEditing.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <linux/capability.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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
    // whose file holds "<prefix> N" (stored with the size of "receipt N").
    void addReceipts(TWBusiness &business, int from, int to,
                     const QString &prefix = QStringLiteral("receipt"))
    {
        for (int n = from; n <= to; ++n) {
            const QString source = dir.filePath(prefix + QStringLiteral("%1.pdf").arg(n));
            ASSERT_TRUE(write(source, prefix.toUtf8() + ' ' + QByteArray::number(n)));
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

    // While it lives, this thread obeys file permissions as any user does,
    // also when the tests run as root (its file capabilities are set aside).
    class AsPlainUser
    {
    public:
        AsPlainUser() { set(false); }
        ~AsPlainUser() { set(true); }

    private:
        static void set(bool on)
        {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2]{};
            if (syscall(SYS_capget, &header, data) != 0)
                return;
            for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                const quint32 bit = 1u << (cap % 32);
                if (on)
                    data[cap / 32].effective |= data[cap / 32].permitted & bit;
                else
                    data[cap / 32].effective &= ~bit;
            }
            syscall(SYS_capset, &header, data);
        }
    };

    // Where the business keeps the file of the attachment named `fileName`.
    static QString receiptPath(TWBusiness &business, const QString &fileName)
    {
        for (const TWTransactionPtr &t : business.transactions())
            for (const TWAttachmentPtr &a :
                 twLoadedAttachments(*t, business).value_or(TWAttachmentList{}))
                if (a->fileName() == fileName)
                    return a->filePath();
        return {};
    }

    // The contents of the files in the package's "Attachments", sorted.
    static QStringList attachmentFiles(const QString &package)
    {
        QStringList contents;
        const QDir folder(QDir(package).filePath("Attachments"));
        for (const QString &name : folder.entryList(QDir::Files))
            contents.append(QString::fromUtf8(bytes(folder.filePath(name))));
        contents.sort();
        return contents;
    }

    // A package saved at `path` with receipts 1 to `count`.
    void saveBusiness(const QString &path, const QString &name, int count)
    {
        auto document = newDocument(name);
        addReceipts(*document->business(), 1, count);
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(path)));
    }

    // The document open on `path`, edited: receipt 4 added.
    std::unique_ptr<TWBusinessController> openEdited(const QString &path)
    {
        auto document = std::make_unique<TWBusinessController>();
        TWErrorResult error;
        EXPECT_TRUE(document->readFromURL(QUrl::fromLocalFile(path), &error));
        if (document->business())
            addReceipts(*document->business(), 4, 4);
        document->updateChangeCount(0);
        return document;
    }

    // What a package holds: its entries, database and receipts.
    static QStringList snapshot(const QString &package)
    {
        const QByteArray data = bytes(QDir(package).filePath("Data.sql"));
        return tree(package) << QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex()
                             << receipts(package);
    }

    // A process running `save`, held at `step` as if it had died there; -1
    // when it never got there. end() kills it.
    static pid_t heldAt(TWPackageFiles::SaveStep step, const std::function<void()> &save)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return -1;
        const pid_t child = fork();
        if (child == 0) {
            TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep at) {
                if (at == step) {
                    (void)!::write(ready[1], "r", 1);
                    pause();
                }
                return false;
            });
            save();
            _exit(0);
        }
        close(ready[1]);
        pollfd wait{ready[0], POLLIN, 0};
        char said = 0;
        const bool reached =
            child > 0 && poll(&wait, 1, 60'000) == 1 && ::read(ready[0], &said, 1) == 1;
        close(ready[0]);
        if (reached)
            return child;
        end(child);
        return -1;
    }
    static void end(pid_t child)
    {
        if (child <= 0)
            return;
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }

    // A work folder beside `target` as a process killed while using it leaves it (its lock
    // ours and free), filled by `fill`.
    // With `record`, its lock records that it replaces `target`, as a replace of this
    // build records both its folders: by `token`, or with 0 its own database's.
    static QString plantLeftover(const QString &target, const QString &purpose,
                                 const std::function<void(const QString &)> &fill,
                                 bool record = false, qint64 token = 0)
    {
        int path[2];
        EXPECT_EQ(pipe(path), 0);
        if (fork() == 0) {
            TWPackageWorkFolder work(target, purpose);
            fill(work.path());
            if (record)
                work.recordReplace(target, token);
            const QByteArray name = QFile::encodeName(work.path());
            (void)!::write(path[1], name.constData(), size_t(name.size()));
            _exit(0);
        }
        close(path[1]);
        wait(nullptr);
        char name[4096];
        const ssize_t length = ::read(path[0], name, sizeof name);
        close(path[0]);
        return QFile::decodeName(QByteArray(name, int(std::max<ssize_t>(length, 0))));
    }

    // A work folder beside `target` as the previous version left it: its lock
    // (ours, free) holding the marker and, for the package its replace wrote,
    // only the name it replaces and `token`, nothing of the old package it
    // moved aside; the folder a copy of `from`, or none.
    static QString plantPreviousVersionLeftover(const QString &target, const QString &purpose,
                                                const QString &from, qint64 token)
    {
        const QString folder = TWPackageMoves::temporarySibling(target, purpose);
        QByteArray lock = "Tallyworth work folder\n";
        if (token != 0)
            lock += "replaces " + QFile::encodeName(QFileInfo(target).fileName()) + "\ntoken " +
                    QByteArray::number(token) + '\n';
        EXPECT_TRUE(write(folder + ".lock", lock));
        QString reason;
        if (!from.isEmpty()) {
            EXPECT_TRUE(TWPackageMoves::copyFolder(from, folder, &reason)) << reason.toStdString();
        }
        return folder;
    }

    static qint64 tokenOf(const QString &package)
    {
        const std::optional<TWPackageMark> mark = TWPackageMark::of(package + "/Data.sql");
        return mark ? mark->token : 0;
    }
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

        // The swap of the two folders writes nothing: it is no place where a
        // full disk stops the save.
        TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep step) {
            return step != TWPackageFiles::SaveStep::ReplaceSwapped &&
                   c.full(tree(target) != old || businessName(target) != "Old Books");
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
        const pid_t child = heldAt(TWPackageFiles::SaveStep::AttachmentsSynced, [&] {
            document->saveDocumentToURL(QUrl::fromLocalFile(target));
        });
        const bool started = child > 0;
        // While it runs, its folder is its own.
        const QString during = leftovers();
        again();
        const QString stillThere = leftovers();
        end(child);
        ASSERT_TRUE(started) << "the saving process did not start";
        EXPECT_FALSE(during.isEmpty());
        EXPECT_EQ(stillThere, during);

        // Once it is gone, the next save or opening clears what it left.
        again();
        EXPECT_TRUE(leftovers().isEmpty()) << leftovers().toStdString();
        EXPECT_EQ(bytes(QDir(stranger).filePath(QStringLiteral("mine.txt"))), "mine");
    }
}

TEST_F(DocumentReplaceTest, ASaveWritesOnlyIntoThePackageTheWindowShows)
{
    // Docs/Books.tallyworth led to disk1 when opened; then it leads to another business.
    enum How { FolderAboveRepointed, PackageLinkRepointed, DeletedAndTaken };
    const std::pair<How, bool> cases[] = {
        {FolderAboveRepointed, false}, {PackageLinkRepointed, true}, {DeletedAndTaken, true}};
    const QString docs = dir.filePath("Docs"), shown = dir.filePath("Docs/Books.tallyworth");
    const QString own = dir.filePath("disk1/Documents/Books.tallyworth");
    for (const auto &[how, autoSave] : cases) {
        SCOPED_TRACE(how);
        for (const char *name : {"Docs", "disk1", "disk2"}) {
            QFile::remove(dir.filePath(name));
            QDir(dir.filePath(name)).removeRecursively();
        }
        prompts.errors.clear();
        prompts.messages.clear();
        QString other = dir.filePath("disk2/Documents/Books.tallyworth");
        saveBusiness(other, "Other Books", 2);
        saveBusiness(own, "Own Books", 3);
        const bool link = how == PackageLinkRepointed;
        ASSERT_TRUE(link ? QDir().mkpath(docs) && QFile::link(own, shown)
                         : QFile::link(QFileInfo(own).path(), docs));
        auto document = openEdited(shown);
        if (how == DeletedAndTaken) {
            ASSERT_TRUE(QDir(own).removeRecursively() && QDir().rename(other, own));
            other = own;
        } else {
            ASSERT_TRUE(QFile::remove(link ? shown : docs) &&
                        QFile::link(link ? other : QFileInfo(other).path(), link ? shown : docs));
        }
        const QStringList before = snapshot(other);
        autoSave ? document->autoSave() : (void)document->saveDocument();

        EXPECT_EQ(snapshot(other), before) << "another business was written";
        const QStringList said = how == DeletedAndTaken
                                     ? QStringList{prompts.errors.value(0).localizedDescription()}
                                     : prompts.messages;
        EXPECT_EQ(said.size(), 1);
        EXPECT_TRUE(said.value(0).contains(real(own))) << said.join(u'\n').toStdString();
        EXPECT_EQ(document->isDocumentEdited(), how == DeletedAndTaken);
        EXPECT_EQ(receipts(own), numbered(how == DeletedAndTaken ? 2 : 4));
    }
}

TEST_F(DocumentReplaceTest, APackageMovedWhereNoBusinessIsKeptIsNotFollowedButSavedWhereAsked)
{
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("share")));
    const QString first = dir.filePath("Books.tallyworth");
    const QString chosen = dir.filePath("Chosen.tallyworth");
    prompts.saveLocation = [&](const QString &) { return chosen; };
    for (const char *place : {"Books old", "share/Trash/files/Books.tallyworth",
                              "Other.tallyworth/Attachments/Books.tallyworth"}) {
        SCOPED_TRACE(place);
        const QString now = dir.filePath(place);
        savePackage(dir.filePath("Other.tallyworth"));
        saveBusiness(first, "Books", 3);
        auto document = openEdited(first);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(now).path()) && QDir().rename(first, now));
        const QStringList before = tree(now);
        prompts.messages.clear();

        document->autoSave();
        EXPECT_EQ(tree(now), before) << "saved where no business is kept";
        EXPECT_TRUE(prompts.messages.size() == 1 && prompts.messages.first().contains(now));
        EXPECT_EQ(real(document->fileURL().toLocalFile()), real(chosen));
        EXPECT_EQ(receipts(chosen), numbered(4));
        for (const QString &made : {now, chosen, dir.filePath("Other.tallyworth")})
            QDir(made).removeRecursively();
    }
    EXPECT_TRUE(prompts.errors.isEmpty());
    qputenv("XDG_DATA_HOME", home);
}

TEST_F(DocumentReplaceTest, ReplacingACopyMadeOnAnotherDiskKeepsEveryReceipt)
{
    // Moved to another disk: copied, then the folder the document held deleted.
    const QString first = dir.filePath("Books.tallyworth"), copy = dir.filePath("Stick.tallyworth");
    auto document = newDocument("Books");
    addReceipts(*document->business(), 1, 3);
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(first)));
    QString reason;
    ASSERT_TRUE(TWPackageMoves::copyFolder(first, copy, &reason) &&
                QDir(first).removeRecursively());
    addReceipts(*document->business(), 4, 4);

    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(copy)));
    EXPECT_EQ(receipts(copy), numbered(4));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'\n').toStdString();
}

TEST_F(DocumentReplaceTest, ReplaceGoesThroughALinkedFolderAndTakesAFileManagersFiles)
{
    const QString old = dir.filePath("Real/Old.tallyworth");
    savePackage(old, "Old Books");
    for (const char *name : {".directory", ".DS_Store", "Thumbs.db"})
        ASSERT_TRUE(write(QDir(old).filePath(name), "view"));
    ASSERT_TRUE(QFile::link(dir.filePath("Real"), dir.filePath("Docs")));

    auto document = newDocument("New Books");
    addReceipts(*document->business(), 1, 2);
    EXPECT_TRUE(
        document->saveDocumentToURL(QUrl::fromLocalFile(dir.filePath("Docs/Old.tallyworth"))));
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(receipts(old), numbered(2));
    EXPECT_EQ(tree(dir.filePath("Real")).filter(QRegularExpression("^/[^/]*$")),
              QStringList{"/Old.tallyworth"});
    EXPECT_EQ(tree(old).filter(QRegularExpression("^/[^/]*$")).size(), 3);
}

TEST_F(DocumentReplaceTest, LeftoversGoAsWhatTheyAreAndOnlyWhenThisUserMadeThem)
{
    const QString target = dir.filePath("Target.tallyworth"), mine = dir.filePath("Private");
    const QStringList files = {"contract.odt", "photo.jpg", "taxes-2025.pdf"};
    struct Case {
        const char *purpose;
        bool linkedAttachments;
        uid_t owner;
        bool emptyLock = false; // cut off before its lock's first line was written
    };
    const Case cases[] = {{"save", true, getuid()},
                          {"replaced", false, getuid()},
                          {"save", false, 65534},
                          {"replaced", false, getuid(), true},
                          {"save", false, 65534, true}};
    savePackage(target);
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.purpose) + (c.linkedAttachments ? " linked" : "") +
                     (c.owner == getuid() ? "" : " another user's"));
        for (const QString &file : files)
            ASSERT_TRUE(write(QDir(mine).filePath(file), file.toUtf8()));
        // A copy of the very business at the name: nothing of it is lost.
        const QString left = plantLeftover(target, c.purpose, [&](const QString &folder) {
            QString reason;
            TWPackageMoves::copyFolder(target, folder, &reason);
            if (c.linkedAttachments && QDir(folder + "/Attachments").removeRecursively())
                QFile::link(mine, folder + "/Attachments");
            (void)!::chown(QFile::encodeName(folder + ".lock").constData(), c.owner, c.owner);
            if (c.emptyLock)
                (void)!::truncate(QFile::encodeName(folder + ".lock").constData(), 0);
        });
        TWBusinessController document;
        TWErrorResult error;
        EXPECT_TRUE(document.readFromURL(QUrl::fromLocalFile(target), &error));
        const bool ours = c.owner == getuid();
        EXPECT_EQ(QFileInfo::exists(left) || QFileInfo::exists(left + ".lock"), !ours);
        EXPECT_EQ(QDir(mine).entryList(QDir::Files), files);
        QDir(left).removeRecursively();
        QFile::remove(left + ".lock");
    }
}

TEST_F(DocumentReplaceTest, SaveAsReplacesAPackageWhoseNameIsAsLongAsNamesGo)
{
    // 237 bytes, and 255 in two-byte letters.
    for (const QString &name :
         {QString(226, u'x') + ".tallyworth", QString(122, u'\u00e9') + ".tallyworth"}) {
        const QString target = dir.filePath(name);
        savePackage(target, "Old Books");
        auto document = newDocument("New Books");
        QString during;
        TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep) {
            during = hidden();
            return false;
        });
        EXPECT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(target)));
        TWPackageFiles::setSaveStepHook(nullptr);
        EXPECT_TRUE(prompts.errors.isEmpty());
        EXPECT_EQ(during.count(".lock"), 2) << during.toStdString();
        EXPECT_EQ(businessName(target), "New Books");
        EXPECT_TRUE(hidden().isEmpty()) << hidden().toStdString();
        QDir(target).removeRecursively();
    }
}

TEST_F(DocumentReplaceTest, AReplaceTakesLostReceiptsOnlyFromACopyOfThisBusiness)
{
    const QString books = dir.filePath("Books.tallyworth"),
                  target = dir.filePath("Stick.tallyworth");
    struct Case {
        const char *name;
        bool copy; // the target is a copy of this business, else another business
        QStringList saved;
        bool named;              // the lost receipt is named to the user
        bool savedThere = false; // the copy was saved as a business of its own since
        // The copy's database was changed since by a program that keeps the
        // token (a database tool, an earlier build).
        bool changedThere = false;
        // The copy is older than what this window read (the business was
        // saved since it was made), its receipt as this business stored it;
        // the window saved the business in place once the file was lost.
        bool older = false;
    };
    const Case cases[] = {
        // Its files have the sizes this business stored.
        {"another business", false, {"missing", "receipt 1", "receipt 3"}, true},
        {"this business's copy, receipt edited there",
         true,
         {"receipt 1", "receipt 2, edited", "receipt 3"},
         false},
        {"an older copy of this business", true, numbered(3), false, false, false, true},
        // A file manager's copy, renamed and kept as another business: a file
        // that is not as this business stored it is its own, whatever
        // identity its settings still carry.
        {"a copy saved as a business of its own since",
         true,
         {"missing", "receipt 1", "receipt 3"},
         true,
         true},
        {"a copy changed since by a program that keeps the token",
         true,
         {"missing", "receipt 1", "receipt 3"},
         true,
         false,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(books).removeRecursively();
        QDir(target).removeRecursively();
        prompts.messages.clear();
        auto document = newDocument("Books");
        addReceipts(*document->business(), 1, 3);
        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(books)));
        QString reason;
        const QString lost = receiptPath(*document->business(), "receipt2.pdf");
        const QString there = QDir(target).filePath("Attachments/" + QFileInfo(lost).fileName());
        if (c.older) {
            ASSERT_TRUE(TWPackageMoves::copyFolder(books, target, &reason));
            // Saved since, then opened afresh: the copy's save is not one
            // this window read or wrote.
            const TWTransactionPtr edited = document->business()->transactions().at(0)->copy();
            edited->setPayee("Saved since");
            ASSERT_OK(document->business()->updateTransaction(edited, false, false, true, true));
            document->updateChangeCount(0);
            ASSERT_TRUE(document->saveDocument());
            document = std::make_unique<TWBusinessController>();
            TWErrorResult error;
            ASSERT_TRUE(document->readFromURL(QUrl::fromLocalFile(books), &error));
        } else if (c.copy) {
            ASSERT_TRUE(TWPackageMoves::copyFolder(books, target, &reason));
            ASSERT_TRUE(write(there, "receipt 2, edited"));
            if (c.changedThere) {
                sqlite3 *file = nullptr;
                ASSERT_EQ(sqlite3_open(QFile::encodeName(target + "/Data.sql"), &file), SQLITE_OK);
                EXPECT_EQ(sqlite3_exec(file, "UPDATE accounts SET name=name || ' (theirs)';",
                                       nullptr, nullptr, nullptr),
                          SQLITE_OK);
                sqlite3_close(file);
            }
            if (c.savedThere) {
                TWBusinessController other;
                TWErrorResult error;
                ASSERT_TRUE(other.readFromURL(QUrl::fromLocalFile(target), &error));
                other.updateChangeCount(0);
                ASSERT_TRUE(other.saveDocument());
            }
        } else {
            auto other = newDocument("Other");
            addReceipts(*other->business(), 1, 3, "foreign");
            ASSERT_TRUE(other->saveDocumentToURL(QUrl::fromLocalFile(target)));
            ASSERT_TRUE(QFileInfo::exists(there));
        }
        ASSERT_TRUE(QFile::remove(lost));
        if (c.older) {
            const TWTransactionPtr edited = document->business()->transactions().at(2)->copy();
            edited->setPayee("Lost its file");
            ASSERT_OK(document->business()->updateTransaction(edited, false, false, true, true));
            document->updateChangeCount(0);
            ASSERT_TRUE(document->saveDocument());
        }

        ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(target)));
        EXPECT_TRUE(prompts.errors.isEmpty());
        EXPECT_EQ(receipts(target), c.saved);
        EXPECT_EQ(attachmentFiles(target).filter("foreign").size(), 0);
        EXPECT_EQ(prompts.messages.size(), c.named ? 1 : 0);
        EXPECT_EQ(prompts.messages.join(u'\n').contains("receipt2.pdf"), c.named);
    }
}

TEST_F(DocumentReplaceTest, ReceiptsACopyCannotGiveAreCountedAndAReadOnlyFolderIsNamed)
{
    const QString books = dir.filePath("Books.tallyworth");
    auto document = newDocument("Books");
    addReceipts(*document->business(), 1, 10);
    ASSERT_TRUE(document->saveDocumentToURL(QUrl::fromLocalFile(books)));
    QString reason;
    // A copy on a stick whose receipts cannot be read, the only ones left.
    const QString stick = dir.filePath("Stick/Books.tallyworth");
    QDir().mkpath(dir.filePath("Stick"));
    ASSERT_TRUE(TWPackageMoves::copyFolder(books, stick, &reason));
    ASSERT_TRUE(QDir(books + "/Attachments").removeRecursively());
    for (const QString &name : QDir(stick + "/Attachments").entryList(QDir::Files))
        QFile::setPermissions(stick + "/Attachments/" + name, {});
    // Another business in a folder no one may write to.
    const QString locked = dir.filePath("Locked/Other.tallyworth");
    savePackage(locked, "Other");
    QFile::setPermissions(dir.filePath("Locked"), QFile::ReadOwner | QFile::ExeOwner);
    const QStringList before = snapshot(locked);
    {
        const AsPlainUser plain;
        EXPECT_FALSE(document->saveDocumentToURL(QUrl::fromLocalFile(stick)));
        EXPECT_FALSE(document->saveDocumentToURL(QUrl::fromLocalFile(locked)));
    }
    QFile::setPermissions(dir.filePath("Locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(prompts.errors.size(), 2);
    const QString receipts = prompts.errors.at(0).localizedDescription();
    EXPECT_LT(receipts.size(), 400) << receipts.toStdString();
    EXPECT_TRUE(receipts.contains("1.pdf") && receipts.contains(" 7 ")) << receipts.toStdString();
    const QString folder = prompts.errors.at(1).localizedDescription();
    EXPECT_TRUE(folder.contains(dir.filePath("Locked") + "”") &&
                folder.contains(QString::fromLocal8Bit(strerror(EACCES))) &&
                !folder.contains(".save-"))
        << folder.toStdString();
    EXPECT_EQ(snapshot(locked), before);
    EXPECT_EQ(real(document->fileURL().toLocalFile()), real(books));
}

TEST_F(DocumentReplaceTest, ASaveAfterAnotherRunningCopySavedAsksAndNeverWritesOverIt)
{
    const QString path = dir.filePath("Shared.tallyworth");
    using Answer = TWDocumentPrompts::PackageChangedAnswer;
    struct Case {
        const char *name;
        Answer answer;
        bool autoSave;
        QStringList saved; // the receipts the package names afterwards
        bool edited;       // the second window afterwards
    };
    const QStringList first = numbered(4);
    const QStringList second = QStringList{"receipt 1", "receipt 2", "receipt 3", "second 4"};
    const Case cases[] = {
        {"cancel", Answer::KeepUnsaved, false, first, true},
        {"autosave, cancel", Answer::KeepUnsaved, true, first, true},
        {"revert", Answer::RevertToSaved, false, first, false},
        {"save anyway", Answer::SaveAnyway, false, second, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path).removeRecursively();
        prompts.packageChangedAsked.clear();
        saveBusiness(path, "Shared", 3);
        // Both windows add receipt number 4 before either saves.
        auto one = openEdited(path);
        auto two = std::make_unique<TWBusinessController>();
        TWErrorResult error;
        ASSERT_TRUE(two->readFromURL(QUrl::fromLocalFile(path), &error));
        addReceipts(*two->business(), 4, 4, "second");
        two->updateChangeCount(0);
        QTest::qWait(5);
        ASSERT_TRUE(one->saveDocument());

        prompts.packageChanged = c.answer;
        c.autoSave ? two->autoSave() : (void)two->saveDocument();
        EXPECT_EQ(prompts.packageChangedAsked.size(), 1);
        EXPECT_TRUE(prompts.errors.isEmpty());
        EXPECT_EQ(receipts(path), c.saved);
        EXPECT_EQ(two->isDocumentEdited(), c.edited);
        // The first window's receipt file is never taken over; saved over at
        // the user's word, it goes with the save it belonged to.
        EXPECT_EQ(attachmentFiles(path).contains("receipt 4"), c.answer != Answer::SaveAnyway);
        EXPECT_TRUE(c.answer != Answer::SaveAnyway || attachmentFiles(path) == receipts(path));
        EXPECT_TRUE(c.answer != Answer::RevertToSaved ||
                    two->business()->transactions().size() == 4);
        if (c.answer == Answer::KeepUnsaved) {
            // Kept unsaved: autosaves leave it be, the user's next save asks.
            two->autoSave();
            EXPECT_EQ(prompts.packageChangedAsked.size(), 1);
            EXPECT_FALSE(two->saveDocument());
            EXPECT_EQ(prompts.packageChangedAsked.size(), 2);
        }
        // Once answered, the next save goes ahead without asking.
        if (c.answer != Answer::KeepUnsaved) {
            two->updateChangeCount(0);
            EXPECT_TRUE(two->saveDocument());
            EXPECT_EQ(prompts.packageChangedAsked.size(), 1);
        }
    }
}

TEST_F(DocumentReplaceTest, RevertReadsThePackageTheWindowHoldsWhereverItIsNow)
{
    enum How { NamesSwapped, LinkRepointed, Renamed };
    const QString docs = dir.filePath("Docs");
    for (const How how : {NamesSwapped, LinkRepointed, Renamed}) {
        SCOPED_TRACE(how);
        for (const char *name : {"Docs", "disk1", "disk2"}) {
            QFile::remove(dir.filePath(name));
            QDir(dir.filePath(name)).removeRecursively();
        }
        prompts.errors.clear();
        const QString own = dir.filePath("disk1/Books.tallyworth");
        const QString other =
            dir.filePath(how == NamesSwapped ? "disk1/Other.tallyworth" : "disk2/Books.tallyworth");
        saveBusiness(own, "Own Books", 3);
        saveBusiness(other, "Other Books", 2);
        ASSERT_TRUE(QFile::link(dir.filePath("disk1"), docs));
        auto document = openEdited(dir.filePath("Docs/Books.tallyworth"));
        QString now = own;
        if (how == NamesSwapped) {
            const QString aside = dir.filePath("disk1/Aside.tallyworth");
            ASSERT_TRUE(QDir().rename(own, aside) && QDir().rename(other, own) &&
                        QDir().rename(aside, other));
            now = other;
        } else if (how == LinkRepointed) {
            ASSERT_TRUE(QFile::remove(docs) && QFile::link(dir.filePath("disk2"), docs));
        } else {
            now = dir.filePath("disk1/Renamed.tallyworth");
            ASSERT_TRUE(QDir().rename(own, now));
        }
        const QString elsewhere = how == NamesSwapped ? own : other;
        const QStringList before = snapshot(elsewhere);

        EXPECT_TRUE(document->revertDocumentToSaved());
        EXPECT_TRUE(prompts.errors.isEmpty())
            << prompts.errors.value(0).localizedDescription().toStdString();
        EXPECT_EQ(document->business()->businessInfo()->name(), "Own Books");
        EXPECT_FALSE(document->isDocumentEdited());
        addReceipts(*document->business(), 4, 4);
        document->updateChangeCount(0);
        document->saveDocument();
        EXPECT_EQ(snapshot(elsewhere), before) << "another business was written";
        EXPECT_EQ(receipts(now), numbered(4));
    }
}

// Writes the package's database in place as another program would (sqlite3), its size and
// times kept.
static void writeInPlaceKeepingTimes(const QString &data)
{
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(data).constData(), &before), 0);
    sqlite3 *file = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(data).constData(), &file), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(file, "UPDATE transactions SET cleared=1;", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(file);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(data).constData(), times, 0), 0);
    ASSERT_EQ(QFileInfo(data).size(), qint64(before.st_size));
}

TEST_F(DocumentReplaceTest, AReplaceCutOffBetweenItsTwoStepsLeavesTheNewBusinessAtTheName)
{
    const QString target = dir.filePath("Target.tallyworth");
    saveBusiness(target, "Old Books", 3);
    auto document = newDocument("New Books");
    addReceipts(*document->business(), 1, 2);
    // The saving process dies once the old package was taken from the name.
    const pid_t child = heldAt(TWPackageFiles::SaveStep::ReplaceSwapped,
                               [&] { document->saveDocumentToURL(QUrl::fromLocalFile(target)); });
    const bool stopped = child > 0;
    end(child);
    ASSERT_TRUE(stopped) << "the replace did not reach its second step";

    EXPECT_EQ(businessName(target), "New Books");
    EXPECT_EQ(receipts(target), numbered(2));
    TWBusinessController reopened;
    TWErrorResult error;
    EXPECT_TRUE(reopened.readFromURL(QUrl::fromLocalFile(target), &error));
}

// A replace cut off between its two renames (a disk without the one-step
// exchange) leaves the new business and the old one hidden beside an empty
// name. An opening puts back the one the last replace wrote: by what it
// recorded, never by a folder's name; one the previous version's replace
// recorded by that version's record, saying where it lay and what it holds.
// A whole business the one at the name does not hold is never removed,
// opening after opening, and is named.
TEST_F(DocumentReplaceTest, AnEmptyNameGetsTheLastReplacesBusinessBackAndNoWholeLeftoverGoesUnsaid)
{
    enum class Layout { EarlierBuild, ThisBuild, TwoRecorded };
    struct Case {
        const char *name;
        Layout layout;
        bool savedAtEmptyName; // a business saved at the name before the next opening
        const char *atName;    // the business at the name after the opening
        // A hidden business that goes too: the one the replace put back set aside.
        const char *setAsideGone = nullptr;
    };
    const Case cases[] = {
        // The previous version recorded the new business's replace, and
        // nothing of the old business it set aside: the new one goes back,
        // said to be an earlier version's, and the old one is kept and named.
        {"the previous version's replace", Layout::EarlierBuild, false, "New Books"},
        {"the previous version's, then a business saved at the name", Layout::EarlierBuild, true,
         "Other"},
        {"this build's, then a business saved at the name", Layout::ThisBuild, true, "Other"},
        {"two recorded, the older first by folder name", Layout::TwoRecorded, false, "New Books",
         "Set Aside"},
    };
    const QString target = dir.filePath("Target.tallyworth");
    const QString oldBooks = dir.filePath("Old.tallyworth"),
                  newBooks = dir.filePath("New.tallyworth");
    const QString setAside = dir.filePath("Aside.tallyworth");
    saveBusiness(oldBooks, "Old Books", 3);
    saveBusiness(newBooks, "New Books", 2);
    saveBusiness(setAside, "Set Aside", 1);
    const auto leftover = [&](const QString &purpose, const QString &from, bool record,
                              qint64 token = 0) {
        return plantLeftover(
            target, purpose,
            [&from](const QString &folder) {
                QString reason;
                TWPackageMoves::copyFolder(from, folder, &reason);
            },
            record, token);
    };
    // What the hidden folders beside the name hold, by business name.
    const auto hiddenBusinesses = [&] {
        QStringList names;
        for (const QString &name :
             QDir(dir.path()).entryList({".Target.tallyworth.*"}, QDir::Dirs | QDir::Hidden))
            names.append(businessName(dir.filePath(name)));
        names.sort();
        return names;
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &name :
             QDir(dir.path())
                 .entryList({"*Target.tallyworth*"},
                            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            TWPackageMoves::removePackage(dir.filePath(name)) || QFile::remove(dir.filePath(name));
        prompts.messages.clear();
        // Where the business that goes back lies, when one does.
        QString back;
        QStringList left;
        if (c.layout == Layout::EarlierBuild) {
            // The previous version's layout, cut off between its two renames:
            // the new business in the save's folder, its lock recording the
            // name and its token; the old one moved aside, its lock recording
            // nothing.
            back = plantPreviousVersionLeftover(target, "save", newBooks, tokenOf(newBooks));
            left.append(plantPreviousVersionLeftover(target, "replaced", oldBooks, 0));
        } else if (c.layout == Layout::ThisBuild) {
            saveBusiness(target, "Old Books", 3);
            auto document = newDocument("New Books");
            addReceipts(*document->business(), 1, 2);
            TWPackageMoves::setExchangeAvailable(false);
            const pid_t child = heldAt(TWPackageFiles::SaveStep::ReplaceSwapped, [&] {
                document->saveDocumentToURL(QUrl::fromLocalFile(target));
            });
            TWPackageMoves::setExchangeAvailable(true);
            const bool stopped = child > 0;
            end(child);
            ASSERT_TRUE(stopped);
        } else {
            // The older replace's folder comes first by name.
            // Each replace moved a business aside, recorded as its own.
            const QString older = leftover("save", oldBooks, true);
            left.append(leftover("replaced", setAside, true, tokenOf(oldBooks)));
            const QString newer = leftover("save", newBooks, true);
            leftover("replaced", setAside, true, tokenOf(newBooks));
            const QString prefix = dir.filePath(".Target.tallyworth.save-");
            for (const auto &[from, to] :
                 {std::pair{older, prefix + "00000000"}, std::pair{newer, prefix + "ffffffff"}}) {
                ASSERT_TRUE(QDir().rename(from, to));
                ASSERT_TRUE(QFile::rename(from + ".lock", to + ".lock"));
            }
            back = prefix + "ffffffff";
            left.append(prefix + "00000000");
        }
        ASSERT_FALSE(QFileInfo::exists(target));
        const QStringList hiddenBefore = hiddenBusinesses();
        if (c.savedAtEmptyName) {
            saveBusiness(target, "Other", 1);
            back.clear();
        }

        for (int opening = 0; opening < 2; ++opening) {
            SCOPED_TRACE(opening);
            prompts.messages.clear();
            TWBusinessController document;
            TWErrorResult error;
            const bool opened = document.readFromURL(QUrl::fromLocalFile(target), &error);
            EXPECT_TRUE(opened) << (error ? error->localizedDescription().toStdString() : "");
            if (!opened)
                break;
            EXPECT_EQ(businessName(target), c.atName);
            // Nothing hidden went but the business put back.
            QStringList expected = hiddenBefore;
            if (!c.savedAtEmptyName)
                expected.removeOne(c.atName);
            if (c.setAsideGone)
                expected.removeOne(c.setAsideGone);
            EXPECT_EQ(hiddenBusinesses(), expected);
            // Each kept is named, where it is and what it holds; the first
            // opening also names what it put back.
            const QString said = prompts.messages.join(u'\n');
            EXPECT_EQ(prompts.messages.size(),
                      expected.size() + (opening == 0 && !back.isEmpty() ? 1 : 0))
                << said.toStdString();
            for (const QString &name : expected)
                EXPECT_TRUE(said.contains(QStringLiteral("“%1”").arg(name))) << said.toStdString();
            for (const QString &path : std::as_const(left))
                EXPECT_TRUE(said.contains(path)) << said.toStdString();
            if (opening == 0 && c.layout == Layout::EarlierBuild && !back.isEmpty()) {
                EXPECT_TRUE(said.contains(back)) << said.toStdString();
            }
        }
    }

    // The old business, written anew at the name without its receipts (a
    // save of it that found the name empty), names them missing: the
    // leftover holding their only copies stays, opening after opening.
    QDir(target).removeRecursively();
    const QString kept = leftover("replaced", oldBooks, false);
    QString reason;
    ASSERT_TRUE(TWPackageMoves::copyFolder(oldBooks, target, &reason));
    for (const QString &name : QDir(target + "/Attachments").entryList(QDir::Files))
        ASSERT_TRUE(QFile::remove(target + "/Attachments/" + name));
    for (int opening = 0; opening < 2; ++opening) {
        TWBusinessController document;
        TWErrorResult error;
        EXPECT_TRUE(document.readFromURL(QUrl::fromLocalFile(target), &error));
    }
    EXPECT_EQ(receipts(kept), numbered(3));
}

TEST_F(DocumentReplaceTest, RevertIntoTheTrashLeavesTheNextSaveToSayWhereTheBusinessWent)
{
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("share")));
    const QString path = dir.filePath("Books.tallyworth");
    const QString trashed = dir.filePath("share/Trash/files/Books.tallyworth");
    saveBusiness(path, "Books", 3);
    auto document = openEdited(path);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(trashed).path()) && QDir().rename(path, trashed));
    ASSERT_TRUE(document->revertDocumentToSaved());
    EXPECT_EQ(document->business()->businessInfo()->name(), "Books");

    const QStringList before = tree(trashed);
    addReceipts(*document->business(), 4, 4);
    document->updateChangeCount(0);
    prompts.saveLocation = [](const QString &) { return QString(); };
    document->saveDocument();
    EXPECT_EQ(tree(trashed), before) << "saved into the Trash";
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages.first().contains(trashed));
    EXPECT_EQ(prompts.proposed.size(), 1);
    qputenv("XDG_DATA_HOME", home);
}

TEST_F(DocumentReplaceTest, AReplaceThatCouldNotWriteNamesTheChosenFolderAndAFullDisk)
{
    const QString target = dir.filePath("Target.tallyworth");
    savePackage(target, "Old Books");
    for (const bool full : {false, true}) {
        SCOPED_TRACE(full ? "disk full" : "write failed");
        prompts.errors.clear();
        TWPackageMoves::setDiskFullQuery([full](const QString &) { return full; });
        // The new package's first files cannot be written.
        TWPackageFiles::setSaveStepHook([](TWPackageFiles::SaveStep step) {
            return step == TWPackageFiles::SaveStep::AttachmentsCopied;
        });
        auto document = newDocument("New Books");
        EXPECT_FALSE(document->saveDocumentToURL(QUrl::fromLocalFile(target)));
        TWPackageFiles::setSaveStepHook(nullptr);
        TWPackageMoves::setDiskFullQuery(nullptr);
        ASSERT_EQ(prompts.errors.size(), 1);
        const QString said = prompts.errors.first().localizedDescription();
        EXPECT_FALSE(said.contains(".save-")) << said.toStdString();
        EXPECT_TRUE(said.contains(dir.path())) << said.toStdString();
        EXPECT_EQ(said.contains(TWLocalized("saveReplaceFullError").section("%2", 1)), full)
            << said.toStdString();
        EXPECT_EQ(businessName(target), "Old Books");
    }
}

TEST_F(DocumentReplaceTest, ASaveAsksUnlessThePackageHoldsWhatThisWindowLastReadOrWrote)
{
    const QString path = dir.filePath("Books.tallyworth"), copy = dir.filePath("Copy.tallyworth");
    // While the window is open, a copy is made (moved to another disk and
    // back, or a stick) and saved elsewhere, or not, the package deleted and
    // the copy put at its name; or the database is written in place.
    enum Change { Untouched, CopySaved, EachSavedOnce, WrittenInPlace };
    struct Case {
        const char *name;
        Change change;
        bool autoSave;
        bool asks;
    };
    const Case cases[] = {
        {"its own copy, untouched", Untouched, false, false},
        {"a copy saved elsewhere", CopySaved, false, true},
        {"a copy saved elsewhere once, the window once", EachSavedOnce, false, true},
        {"the same, then an autosave", EachSavedOnce, true, true},
        {"written in place, size and times kept", WrittenInPlace, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path).removeRecursively();
        QDir(copy).removeRecursively();
        prompts.errors.clear();
        prompts.packageChangedAsked.clear();
        saveBusiness(path, "Books", 3);
        auto document = openEdited(path);
        QString reason;
        if (c.change == WrittenInPlace) {
            writeInPlaceKeepingTimes(path + "/Data.sql");
        } else {
            ASSERT_TRUE(TWPackageMoves::copyFolder(path, copy, &reason));
            if (c.change != Untouched) {
                ASSERT_TRUE(openEdited(copy)->saveDocument());
            }
            if (c.change == EachSavedOnce) {
                ASSERT_TRUE(document->saveDocument());
                addReceipts(*document->business(), 5, 5);
                document->updateChangeCount(0);
            }
            ASSERT_TRUE(QDir(path).removeRecursively() && QDir().rename(copy, path));
        }
        const QStringList before = snapshot(path);

        prompts.packageChanged = TWDocumentPrompts::KeepUnsaved;
        c.autoSave ? document->autoSave() : (void)document->saveDocument();
        EXPECT_TRUE(prompts.errors.isEmpty())
            << prompts.errors.value(0).localizedDescription().toStdString();
        EXPECT_EQ(prompts.packageChangedAsked.size(), c.asks ? 1 : 0);
        EXPECT_EQ(document->isDocumentEdited(), c.asks);
        EXPECT_TRUE(c.asks ? snapshot(path) == before : receipts(path) == numbered(4));
    }
}

TEST_F(DocumentReplaceTest, ASaveThatWroteThePackageAnewKnowsWhatItWrote)
{
    const QString path = dir.filePath("Books.tallyworth");
    saveBusiness(path, "Books", 3);
    auto document = openEdited(path);
    // Deleted while open: written anew at its name, its lost receipts named.
    ASSERT_TRUE(QDir(path).removeRecursively());
    ASSERT_TRUE(document->saveDocument());
    EXPECT_EQ(prompts.messages.size(), 1);
    for (const bool autoSave : {false, true}) {
        addReceipts(*document->business(), autoSave ? 6 : 5, autoSave ? 6 : 5);
        document->updateChangeCount(0);
        autoSave ? document->autoSave() : (void)document->saveDocument();
        EXPECT_FALSE(document->isDocumentEdited());
    }
    EXPECT_TRUE(prompts.packageChangedAsked.isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(attachmentFiles(path), (QStringList{"receipt 4", "receipt 5", "receipt 6"}));
}

TEST_F(DocumentReplaceTest, TwoRunningCopiesSavingMomentsApartNeverLoseASaveWithoutAWord)
{
    const QString path = dir.filePath("Shared.tallyworth");
    for (const int apart : {0, 10, 25, 100, 0, 10, 25}) {
        SCOPED_TRACE(apart);
        QDir(path).removeRecursively();
        saveBusiness(path, "Shared", 3);
        // Each copy opens the business, adds its own receipt 4 and presses
        // Save at its moment; it says whether it saved, was asked, or failed.
        const auto start = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
        int reports[2][2];
        pid_t children[2];
        for (int copy = 0; copy < 2; ++copy) {
            ASSERT_EQ(pipe(reports[copy]), 0);
            children[copy] = fork();
            ASSERT_GE(children[copy], 0);
            if (children[copy] == 0) {
                TWBusinessController document;
                TWErrorResult error;
                char said = 'e';
                if (document.readFromURL(QUrl::fromLocalFile(path), &error)) {
                    addReceipts(*document.business(), 4, 4, copy == 0 ? "first" : "second");
                    document.updateChangeCount(0);
                    std::this_thread::sleep_until(start + std::chrono::milliseconds(copy * apart));
                    prompts.packageChanged = TWDocumentPrompts::KeepUnsaved;
                    const bool saved = document.saveDocument();
                    said = saved && prompts.packageChangedAsked.isEmpty() ? 's'
                           : !saved && prompts.packageChangedAsked.size() == 1 &&
                                   prompts.errors.isEmpty()
                               ? 'a'
                               : 'e';
                }
                (void)!::write(reports[copy][1], &said, 1);
                _exit(0);
            }
            close(reports[copy][1]);
        }
        QByteArray said;
        for (int copy = 0; copy < 2; ++copy) {
            char one = '?';
            (void)!::read(reports[copy][0], &one, 1);
            close(reports[copy][0]);
            waitpid(children[copy], nullptr, 0);
            said += one;
        }
        std::sort(said.begin(), said.end());
        // One saved; the other was told before anything of it was written.
        EXPECT_EQ(said, "as");
        const QStringList saved = attachmentFiles(path);
        EXPECT_EQ(saved.size(), 4) << saved.join(u',').toStdString();
        EXPECT_EQ(receipts(path).filter(QRegularExpression("^(first|second) 4$")).size(), 1);
    }
}

// A replace cut off part-way leaves its new package (and the old one) in
// hidden folders beside the name. An opening puts back only the package that
// replace wrote for this name, known by what it recorded, never by a file
// time; its message names folders that exist.
TEST_F(DocumentReplaceTest, AnOpeningPutsBackOnlyThePackageTheCutOffReplaceWroteForTheName)
{
    const QString target = dir.filePath("Target.tallyworth");
    const QString renamed = dir.filePath("Target 2026.tallyworth");
    struct Case {
        const char *name;
        bool exchange; // the file system swaps the two folders in one step
        bool renamedSince;
        bool opens;
    };
    const Case cases[] = {
        // Swapped, cut off before the old one went; then the user renamed
        // the new business: the old one beside the old name stays hidden.
        {"swapped, renamed since", true, true, false},
        // Cut off between the two renames, the new package's file time
        // behind the old one's (another computer's clock).
        {"between two renames, clock skewed", false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &folder :
             QDir(dir.path())
                 .entryList({"*.tallyworth*"},
                            QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            TWPackageMoves::removePackage(dir.filePath(folder)) ||
                QFile::remove(dir.filePath(folder));
        prompts.messages.clear();
        saveBusiness(target, "Old Books", 3);
        auto document = newDocument("New Books");
        addReceipts(*document->business(), 1, 2, "new");
        TWPackageMoves::setExchangeAvailable(c.exchange);
        const pid_t child = heldAt(TWPackageFiles::SaveStep::ReplaceSwapped, [&] {
            document->saveDocumentToURL(QUrl::fromLocalFile(target));
        });
        TWPackageMoves::setExchangeAvailable(true);
        const bool stopped = child > 0;
        end(child);
        ASSERT_TRUE(stopped);
        if (c.renamedSince) {
            ASSERT_TRUE(QDir().rename(target, renamed));
        }
        for (const QString &name :
             QDir(dir.path())
                 .entryList({".Target.tallyworth.save-*"},
                            QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
            QFile data(dir.filePath(name + "/Data.sql"));
            ASSERT_TRUE(data.open(QIODevice::ReadWrite));
            data.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                             QFileDevice::FileModificationTime);
        }

        TWBusinessController opened;
        TWErrorResult error;
        EXPECT_EQ(opened.readFromURL(QUrl::fromLocalFile(target), &error), c.opens)
            << (error ? error->localizedDescription().toStdString() : "");
        if (c.opens) {
            EXPECT_EQ(businessName(target), "New Books");
            EXPECT_EQ(receipts(target), QStringList({"new 1", "new 2"}));
            ASSERT_EQ(prompts.messages.size(), 1);
            EXPECT_FALSE(prompts.messages.first().contains(".Target"))
                << prompts.messages.first().toStdString();
        } else {
            EXPECT_FALSE(QFileInfo::exists(target));
            EXPECT_EQ(businessName(renamed), "New Books");
            EXPECT_TRUE(prompts.messages.isEmpty());
        }
    }
}

// What each version leaves beside a business at each step its Replace can be
// cut off at, as it leaves it (or as another program changed it since); then
// the business renamed or moved away (or a business saved, or saved and
// opened, at the name, then renamed), and the old name opened. Only a cut-off
// replace's new business goes back, whole (every receipt the old business
// held that its rows name: one neither had is named), and only where that
// replace itself emptied the name and no business was written there since:
// never the old business it set aside, never a copy still being written,
// never a copy kept beside a business. "By an earlier version" is said of
// what the previous version left alone. Whatever is not put back is named
// with the way to open it; "not found" only where nothing is left.
TEST_F(DocumentReplaceTest, AnEmptyNameGetsBackOnlyTheWholeNewBusinessOfAReplaceThatEmptiedIt)
{
    enum class Made { PreviousVersion, ThisVersion };
    enum class Cut {
        TakingReceipts, // new package written, taking lost receipts from the old (6 of 20)
        Recorded,       // the replace recorded, nothing moved yet
        Swapped,        // one-step exchange: the new at the name, the old in the save's folder
        OldAside,       // the old one gone on to its own folder, not removed yet
        BetweenRenames, // no exchange: the old one aside, the new one not at the name yet
        // The same, the new package naming receipts it lacks (the document
        // had lost 14 of its files, and the old package had none of them).
        BetweenRenamesLacking,
        // The same, but the old package holds the 14 the new one lacks.
        BetweenRenamesLackingOldHolds,
        Created, // the work folders made, nothing written into them yet
    };
    // What another program did to the leftovers since.
    enum class Touched {
        No,
        AsideRenamed,     // the set-aside folder given another name, its lock left
        AsideLockGone,    // the set-aside folder's lock removed
        KeptWritten,      // "kept" written into the new package's lock
        TemporaryLooking, // a file named as a copy's temporary file among its receipts
        NothingRecorded,  // both locks hold the marker alone (a build that recorded nothing)
    };
    enum class Then { Renamed, Moved, Nothing, OtherOpenedThenRenamed, SavedAsThenRenamed };
    struct Case {
        const char *name;
        Made made;
        Cut cut;
        Then then;
        const char *back; // the business put back at the old name, or none
        bool earlierSaid; // said to be an earlier version's
        Touched touched = Touched::No;
    };
    const Case cases[] = {
        {"previous, taking receipts, renamed", Made::PreviousVersion, Cut::TakingReceipts,
         Then::Renamed, nullptr, false},
        {"this, taking receipts, moved", Made::ThisVersion, Cut::TakingReceipts, Then::Moved,
         nullptr, false},
        {"previous, recorded, renamed", Made::PreviousVersion, Cut::Recorded, Then::Renamed,
         nullptr, false},
        {"this, recorded, moved", Made::ThisVersion, Cut::Recorded, Then::Moved, nullptr, false},
        {"previous, swapped, renamed", Made::PreviousVersion, Cut::Swapped, Then::Renamed, nullptr,
         false},
        {"previous, old aside, renamed", Made::PreviousVersion, Cut::OldAside, Then::Renamed,
         nullptr, false},
        {"this, old aside, moved", Made::ThisVersion, Cut::OldAside, Then::Moved, nullptr, false},
        {"previous, between renames", Made::PreviousVersion, Cut::BetweenRenames, Then::Nothing,
         "New Books", true},
        {"this, between renames", Made::ThisVersion, Cut::BetweenRenames, Then::Nothing,
         "New Books", false},
        {"this, between renames, receipts lacking", Made::ThisVersion, Cut::BetweenRenamesLacking,
         Then::Nothing, "New Books", false},
        {"previous, between renames, receipts lacking", Made::PreviousVersion,
         Cut::BetweenRenamesLacking, Then::Nothing, "New Books", true},
        {"this, between renames, receipts lacking that the old one holds", Made::ThisVersion,
         Cut::BetweenRenamesLackingOldHolds, Then::Nothing, nullptr, false},
        {"this, between renames, set-aside folder renamed", Made::ThisVersion, Cut::BetweenRenames,
         Then::Nothing, nullptr, false, Touched::AsideRenamed},
        {"this, between renames, set-aside lock removed", Made::ThisVersion, Cut::BetweenRenames,
         Then::Nothing, nullptr, false, Touched::AsideLockGone},
        {"this, between renames, kept written by another program", Made::ThisVersion,
         Cut::BetweenRenames, Then::Nothing, nullptr, false, Touched::KeptWritten},
        {"previous, between renames, a temporary-looking receipt", Made::PreviousVersion,
         Cut::BetweenRenames, Then::Nothing, nullptr, false, Touched::TemporaryLooking},
        {"a build that recorded nothing, between renames", Made::ThisVersion, Cut::BetweenRenames,
         Then::Nothing, nullptr, false, Touched::NothingRecorded},
        {"this, between renames, saved as at the name, renamed", Made::ThisVersion,
         Cut::BetweenRenames, Then::SavedAsThenRenamed, nullptr, false},
        {"previous, between renames, saved as at the name, renamed", Made::PreviousVersion,
         Cut::BetweenRenames, Then::SavedAsThenRenamed, nullptr, false},
        {"this, nothing written yet, renamed", Made::ThisVersion, Cut::Created, Then::Renamed,
         nullptr, false},
        {"previous, between renames, another opened there, renamed", Made::PreviousVersion,
         Cut::BetweenRenames, Then::OtherOpenedThenRenamed, nullptr, false},
        {"this, between renames, another opened there, renamed", Made::ThisVersion,
         Cut::BetweenRenames, Then::OtherOpenedThenRenamed, nullptr, false},
    };
    const QString target = dir.filePath("Target.tallyworth");
    const QString renamed = dir.filePath("Target 2026.tallyworth");
    const QString moved = dir.filePath("Archive/Target.tallyworth");
    const QString oldBooks = dir.filePath("Old.tallyworth"),
                  newBooks = dir.filePath("New.tallyworth"), partial = dir.filePath("Partial");
    saveBusiness(oldBooks, "Old Books", 3);
    saveBusiness(newBooks, "New Books", 20);
    const qint64 token = tokenOf(newBooks);
    QString reason;
    // Taking the old package's receipts, cut off: 6 of them there, and the
    // temporary file of the 7th's copy beside them.
    ASSERT_TRUE(TWPackageMoves::copyFolder(newBooks, partial, &reason));
    const QStringList taken = QDir(partial + "/Attachments").entryList(QDir::Files);
    ASSERT_EQ(taken.size(), 20);
    for (const QString &name : taken.mid(6))
        ASSERT_TRUE(QFile::remove(partial + "/Attachments/" + name));
    const QString lacking = dir.filePath("Lacking");
    ASSERT_TRUE(TWPackageMoves::copyFolder(partial, lacking, &reason));
    ASSERT_TRUE(write(partial + "/Attachments/." + taken.at(6) + ".saving-a1B2c3", "recei"));

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &name :
             QDir(dir.path())
                 .entryList({"*Target*"}, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            TWPackageMoves::removePackage(dir.filePath(name)) || QFile::remove(dir.filePath(name));
        QDir(dir.filePath("Archive")).removeRecursively();
        prompts.messages.clear();
        // What the version leaves in each folder: its lock, and what it holds.
        const auto leave = [&](const QString &purpose, const QString &from, qint64 recorded) {
            if (c.made == Made::PreviousVersion)
                return plantPreviousVersionLeftover(target, purpose, from, recorded);
            return plantLeftover(
                target, purpose,
                [&from](const QString &folder) {
                    QString why;
                    if (!from.isEmpty())
                        TWPackageMoves::copyFolder(from, folder, &why);
                },
                recorded != 0, recorded);
        };
        // This version records both folders; the previous one only the new package's.
        const qint64 asideToken = c.made == Made::ThisVersion ? token : 0;
        const auto atName = [&](const QString &from) {
            ASSERT_TRUE(TWPackageMoves::copyFolder(from, target, &reason));
        };
        switch (c.cut) {
        case Cut::TakingReceipts:
            atName(oldBooks);
            leave("save", partial, 0);
            leave("replaced", {}, 0);
            break;
        case Cut::Recorded:
            atName(oldBooks);
            leave("save", newBooks, token);
            leave("replaced", {}, asideToken);
            break;
        case Cut::Swapped:
            atName(newBooks);
            leave("save", oldBooks, token);
            leave("replaced", {}, asideToken);
            break;
        case Cut::OldAside:
            atName(newBooks);
            leave("save", {}, token);
            leave("replaced", oldBooks, asideToken);
            break;
        case Cut::BetweenRenames:
            leave("save", newBooks, token);
            leave("replaced", oldBooks, asideToken);
            break;
        case Cut::BetweenRenamesLacking:
            leave("save", lacking, token);
            leave("replaced", oldBooks, asideToken);
            break;
        case Cut::BetweenRenamesLackingOldHolds:
            leave("save", lacking, token);
            leave("replaced", newBooks, asideToken);
            break;
        case Cut::Created:
            atName(oldBooks);
            leave("save", {}, 0);
            leave("replaced", {}, 0);
            break;
        }
        const auto folderOf = [&](const char *purpose) {
            return dir.filePath(
                QDir(dir.path())
                    .entryList(
                        {QStringLiteral(".Target.tallyworth.%1-*").arg(QLatin1String(purpose))},
                        QDir::Dirs | QDir::Hidden)
                    .value(0));
        };
        switch (c.touched) {
        case Touched::No:
            break;
        case Touched::AsideRenamed:
            ASSERT_TRUE(QDir().rename(folderOf("replaced"),
                                      dir.filePath(".Target.tallyworth.replaced-0123456")));
            break;
        case Touched::AsideLockGone:
            ASSERT_TRUE(QFile::remove(folderOf("replaced") + ".lock"));
            break;
        case Touched::KeptWritten: {
            QFile lock(folderOf("save") + ".lock");
            ASSERT_TRUE(lock.open(QIODevice::Append));
            lock.write("kept\n");
            break;
        }
        case Touched::TemporaryLooking:
            ASSERT_TRUE(write(folderOf("save") + "/Attachments/.1.pdf.saving-x9Y8z7", "notes"));
            break;
        case Touched::NothingRecorded:
            for (const char *purpose : {"save", "replaced"})
                ASSERT_TRUE(write(folderOf(purpose) + ".lock", "Tallyworth work folder\n"));
            break;
        }
        if (c.then == Then::OtherOpenedThenRenamed) {
            saveBusiness(target, "Other", 1);
            TWBusinessController other;
            TWErrorResult error;
            ASSERT_TRUE(other.readFromURL(QUrl::fromLocalFile(target), &error));
        } else if (c.then == Then::SavedAsThenRenamed) {
            saveBusiness(target, "Other", 1);
        }
        QDir().mkpath(QFileInfo(moved).absolutePath());
        if (c.then != Then::Nothing) {
            ASSERT_TRUE(QDir().rename(target, c.then == Then::Moved ? moved : renamed));
        }
        ASSERT_FALSE(QFileInfo::exists(target));
        const QStringList hiddenBefore = tree(dir.path()).filter(QRegularExpression("^/\\."));
        prompts.messages.clear();

        TWBusinessController document;
        TWErrorResult error;
        const bool opened = document.readFromURL(QUrl::fromLocalFile(target), &error);
        EXPECT_EQ(opened, c.back != nullptr)
            << (error ? error->localizedDescription().toStdString() : "");
        const QString said = prompts.messages.join(u'\n');
        if (c.back) {
            EXPECT_EQ(businessName(target), c.back);
            const bool lacks = c.cut == Cut::BetweenRenamesLacking;
            EXPECT_EQ(receipts(target).count("missing"), lacks ? 14 : 0);
            EXPECT_EQ(receipts(target).size(), 20);
            const QString earlier =
                TWLocalized("documentRestoredEarlierMessage").arg(target.section('/', -1)).left(50);
            EXPECT_EQ(said.contains(earlier), c.earlierSaid) << said.toStdString();
            // The receipts lost before the replace are named.
            const QString lost =
                TWLocalized("documentRestoredMissingMessage").arg(target.section('/', -1)).left(50);
            EXPECT_EQ(said.contains(lost) && said.contains(".pdf"), lacks) << said.toStdString();
        } else {
            // The name stays empty; every copy stays hidden as it was, and
            // each holding a business is named with the way to open it.
            EXPECT_FALSE(QFileInfo::exists(target));
            EXPECT_EQ(tree(dir.path()).filter(QRegularExpression("^/\\.")), hiddenBefore);
            const QString told = error ? error->localizedDescription() : QString();
            QStringList copies;
            for (const QString &name :
                 QDir(dir.path()).entryList({".Target.tallyworth.*"}, QDir::Dirs | QDir::Hidden))
                if (QFileInfo::exists(dir.filePath(name + "/Data.sql")))
                    copies.append(dir.filePath(name));
            EXPECT_EQ(copies.isEmpty(), c.cut == Cut::Created);
            for (const QString &copy : std::as_const(copies))
                EXPECT_TRUE(told.contains(QStringLiteral("“%1”").arg(copy))) << told.toStdString();
            EXPECT_EQ(told.contains("rename its folder"), !copies.isEmpty()) << told.toStdString();
            EXPECT_EQ(told.contains("could not be found"), copies.isEmpty()) << told.toStdString();
        }
    }
}

// Copy B is in its save of Target, holding the package's lock, when copy A's
// Save As replaces Target: A takes the target's lock too, so it waits, or is
// told at once (naming the other copy) and replaces nothing.
TEST_F(DocumentReplaceTest, AReplaceOntoAPackageAnotherCopyIsSavingWaitsOrIsRefused)
{
    const QString target = dir.filePath("Target.tallyworth");
    saveBusiness(target, "Target", 3);
    const pid_t other = heldAt(TWPackageFiles::SaveStep::AttachmentsSynced, [&] {
        auto document = openEdited(target);
        document->saveDocument();
    });
    ASSERT_GT(other, 0);
    const QStringList before = tree(target);
    prompts.packageBusy = [] { return false; };
    auto document = newDocument("Replacing");
    const bool replaced = document->saveDocumentToURL(QUrl::fromLocalFile(target));
    EXPECT_EQ(tree(target), before);
    end(other);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(businessName(target), "Target");
    ASSERT_EQ(prompts.packageBusyAsked.size(), 1);
    EXPECT_TRUE(prompts.packageBusyAsked.first().contains(
        TWLocalized("packageLockedDescription").section("%1", 1, 1).section('.', 0, 0)))
        << prompts.packageBusyAsked.first().toStdString();
}

// Two running copies replace one name at once: the other copy's replace
// puts its business at the name while this one writes its copy. This one
// replaces nothing and says so; the other's business stays at the name.
TEST_F(DocumentReplaceTest, AReplaceNeverRemovesWhatAnotherCopysReplacePutAtTheNameMeanwhile)
{
    const QString target = dir.filePath("Target.tallyworth");
    const QString others = dir.filePath("Others.tallyworth");
    saveBusiness(target, "Target", 3);
    saveBusiness(others, "Others", 2);
    bool swapped = false;
    TWPackageFiles::setSaveStepHook([&](TWPackageFiles::SaveStep step) {
        if (step == TWPackageFiles::SaveStep::PackageChecked && !swapped) {
            swapped = QDir().rename(target, dir.filePath("Target old.tallyworth")) &&
                      QDir().rename(others, target);
        }
        return false;
    });
    auto document = newDocument("Replacing");
    const bool replaced = document->saveDocumentToURL(QUrl::fromLocalFile(target));
    TWPackageFiles::setSaveStepHook(nullptr);
    ASSERT_TRUE(swapped);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(businessName(target), "Others");
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors.first().localizedDescription().contains(
        TWLocalized("saveReplacedMeanwhileError").section("%1", 1, 1).section(':', 0, 0)))
        << prompts.errors.first().localizedDescription().toStdString();
    // Nothing of this save is left beside the name.
    EXPECT_EQ(QDir(dir.path()).entryList({".Target.tallyworth.*"}, QDir::AllEntries | QDir::Hidden),
              QStringList{});
}

// Another process keeps the package's folder locked (another copy's slow
// save, a backup tool): an opening and a save are told at once that the
// business is in use, and may try again; an autosave leaves it to its next
// turn. The holder is named a copy of the program only when it is one.
TEST_F(DocumentReplaceTest, ALockAnotherProcessHoldsIsToldAtOnceNamingOnlyACopyAsACopy)
{
    const QString path = dir.filePath("Books.tallyworth");
    saveBusiness(path, "Books", 3);
    const QString copyWords =
        TWLocalized("packageLockedDescription").section("%1", 1, 1).section('.', 0, 0);
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "another copy of the program" : "another program");
        prompts.packageBusyAsked.clear();
        prompts.errors.clear();
        prompts.packageBusy = [] { return false; };
        auto document = openEdited(path);
        const pid_t holder = fork();
        if (holder == 0) {
            setpgid(0, 0);
            if (!copy)
                execlp("flock", "flock", "-o", QFile::encodeName(path).constData(), "sleep", "600",
                       static_cast<char *>(nullptr));
            const int folder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
            ::flock(folder, LOCK_EX);
            pause();
            _exit(0);
        }
        ASSERT_GT(holder, 0);
        const int probe = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        QElapsedTimer taken;
        taken.start();
        while (::flock(probe, LOCK_SH | LOCK_NB) == 0 && taken.elapsed() < 10'000) {
            ::flock(probe, LOCK_UN);
            QThread::msleep(5);
        }
        ::close(probe);

        QElapsedTimer timer;
        timer.start();
        TWBusinessController opening;
        TWErrorResult error;
        EXPECT_FALSE(opening.readFromURL(QUrl::fromLocalFile(path), &error));
        // Cancel was the user's answer: the opening's caller tells nothing more.
        EXPECT_FALSE(error);
        EXPECT_FALSE(document->saveDocument());
        document->autoSave();
        EXPECT_LT(timer.elapsed(), 8000);
        ASSERT_EQ(prompts.packageBusyAsked.size(), 2);
        for (const QString &said : std::as_const(prompts.packageBusyAsked)) {
            EXPECT_TRUE(said.contains(path)) << said.toStdString();
            EXPECT_EQ(said.contains(copyWords), copy) << said.toStdString();
        }
        EXPECT_TRUE(prompts.errors.isEmpty());
        EXPECT_TRUE(document->isDocumentEdited());
        kill(-holder, SIGKILL);
        end(holder);
        EXPECT_TRUE(document->saveDocument());
    }
}

// A business that cannot be written where it is is named as such, never by a
// file inside it.
TEST_F(DocumentReplaceTest, ASaveIntoAReadOnlyPackageNamesTheBusiness)
{
    const QString path = dir.filePath("Books.tallyworth");
    saveBusiness(path, "Books", 3);
    auto document = openEdited(path);
    for (const QString &folder : {path, path + "/Attachments"})
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    {
        AsPlainUser plain;
        EXPECT_FALSE(document->saveDocument());
    }
    for (const QString &folder : {path, path + "/Attachments"})
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    ASSERT_EQ(prompts.errors.size(), 1);
    const QString said = prompts.errors.first().localizedDescription();
    EXPECT_TRUE(said.contains(path)) << said.toStdString();
    EXPECT_FALSE(said.contains("Attachments") || said.contains("receipt") ||
                 said.contains("Data.sql"))
        << said.toStdString();
}

} // namespace
