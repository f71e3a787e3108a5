// Reading, upgrading, writing, reverting and closing the document.

#include "app/TWBusinessController.h"

#include "app/TWApplicationDelegate.h"
#include "app/TWDocumentController.h"
#include "app/TWDocumentPrompts.h"
#include "app/TWPackageMoves.h"
#include "app/TWPackageWorkFolder.h"
#include "app/TWWindowController.h"

#include "foundation/TWLocalized.h"
#include "foundation/TWStringAdditions.h"
#include "model/TWFormatter.h"
#include "model/TWPreferences.h"
#include "store/TWPackageFiles.h"
#include "store/TWTransactionEditing.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMainWindow>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>

namespace
{

TWError documentError(const char *key, const QString &place, const QString &reason = {})
{
    QString text = TWLocalized(key).arg(place);
    if (text.contains(QLatin1String("%2")))
        text = text.arg(reason);
    return TWError(TWLocalized("upgradeErrorDomain"), -1, text);
}

// Waiting for another running copy's save into a package about to be
// replaced, before the user is told (see TWBusiness's own wait).
constexpr int kTargetLockWaitMilliseconds = 1000;

// The code of "no such file" on reading, as the desktop's file errors number it.
constexpr int kFileNotFoundCode = 260;

QString describe(const TWErrorResult &error)
{
    return error ? error->localizedDescription() : QString();
}

// Why no business is kept at `path`, as the user is told; empty where one is.
QString unfitPlaceReason(const QString &path)
{
    switch (TWPackageFiles::unfitPlace(path)) {
    case TWPackageFiles::UnfitPlace::None:
        break;
    case TWPackageFiles::UnfitPlace::NoPackageName:
        return TWLocalized("documentPlaceNoPackageName");
    case TWPackageFiles::UnfitPlace::Trash:
        return TWLocalized("documentPlaceTrash");
    case TWPackageFiles::UnfitPlace::InPackage:
        return TWLocalized("documentPlaceInPackage");
    }
    return {};
}

// What a business package found beside another holds, as the user is told.
QString describeContents(const TWPackageContents &contents)
{
    const QLocale locale;
    return TWLocalized("documentLeftoverContents")
        .arg(contents.businessName, locale.toString(contents.transactions),
             locale.toString(QDateTime::fromSecsSinceEpoch(contents.writtenSeconds),
                             QLocale::ShortFormat));
}

// The attachments, a line each, as the user knows them. Names and payees
// come from the user and from files: each is shortened, and only the first
// few lines are made, so that the alert keeps to the screen and shows at once
// however many files are missing.
QString attachmentLines(const QList<TWMissingAttachment> &missing)
{
    constexpr qsizetype kShownLength = 60;
    const auto line = [&missing](qsizetype i) {
        const TWMissingAttachment &attachment = missing.at(i);
        const QString payee =
            attachment.payee.isEmpty() ? TWLocalized("missingAttachmentNoPayee") : attachment.payee;
        return TWLocalized("missingAttachmentLine")
            .arg(TWFormatter::formatter().shortDateString(attachment.date),
                 TWStringAdditions::shortened(payee, kShownLength),
                 TWStringAdditions::shortened(attachment.fileName, kShownLength));
    };
    return TWStringAdditions::shortList(missing.size(), line, QStringLiteral("\n"),
                                        TWLocalized("missingAttachmentsMore"));
}

// What the user is told of the businesses hidden beside the empty name
// `fileName` in `folder`: where each lies, what it holds, and how to open it.
QString hiddenCopiesMessage(const QString &fileName, const QString &folder,
                            const QList<TWPackageLeftover> &hidden)
{
    const QString lines = TWStringAdditions::shortList(
        hidden.size(),
        [&hidden](qsizetype i) {
            return TWLocalized("documentHiddenCopyLine")
                .arg(QDir::toNativeSeparators(hidden.at(i).path),
                     describeContents(hidden.at(i).contents));
        },
        QStringLiteral("\n"), TWLocalized("missingAttachmentsMore"));
    return TWLocalized("documentHiddenCopiesMessage")
        .arg(fileName, folder, lines, TWPackageFiles::packageSuffix);
}

// The receipts the business's rows name whose files are not in its package.
QList<TWMissingAttachment> lostAttachments(TWBusiness &business)
{
    QList<TWMissingAttachment> lost;
    if (TWBusiness::lackedAttachmentFiles(business.url().toLocalFile()).isEmpty())
        return lost;
    for (const TWTransactionPtr &transaction : business.transactions()) {
        if (!transaction->hasAttachments())
            continue;
        for (const TWAttachmentPtr &attachment :
             twLoadedAttachments(*transaction, business).value_or(TWAttachmentList{})) {
            if (attachment && !TWPackageFiles::isRegularFile(attachment->filePath()))
                lost.append(TWMissingAttachment{transaction->date(), transaction->payee(),
                                                attachment->fileName()});
        }
    }
    return lost;
}

} // namespace

bool TWBusinessController::readFromURL(const QUrl &url, TWErrorResult *error)
{
    // A package that was moved or deleted is missing, not damaged: say where
    // it was looked for.
    const QFileInfo package(url.toLocalFile());
    // A replace cut off between taking the old package away and putting the
    // new one in left nothing at the name: the one it wrote goes back.
    const std::optional<TWPackageLeftover> restored =
        package.exists() ? std::nullopt : TWPackageWorkFolder::restoreLeftover(package.filePath());
    if (!package.exists()) {
        // What is left of the business hidden beside the name, not put back
        // (it could not be told to be the last save, whole), is named with
        // the way to open it: "not found" only where nothing is left.
        const QList<TWPackageLeftover> hidden =
            TWPackageWorkFolder::hiddenCopies(package.filePath());
        if (error && hidden.isEmpty())
            *error = TWError(QStringLiteral("Tallyworth Document Error"), kFileNotFoundCode,
                             TWLocalized("documentNotFoundMessage")
                                 .arg(package.fileName(), package.absolutePath()));
        else if (error)
            *error = TWError(QStringLiteral("Tallyworth Document Error"), kFileNotFoundCode,
                             hiddenCopiesMessage(package.fileName(),
                                                 QDir::toNativeSeparators(package.absolutePath()),
                                                 hidden));
        return false;
    }
    TWErrorResult opened;
    std::unique_ptr<TWBusiness> business;
    whileBusyAsk(&opened, [&](TWErrorResult *failure) {
        business = TWBusiness::businessWithURL(url, false, failure);
        return bool(business);
    });
    if (business) {
        m_business = std::move(business);
        setFileURL(url);
        // What saves onto this package left when they were cut off; a whole
        // business among it that the one at the name does not hold is kept,
        // and named.
        const QList<TWPackageLeftover> kept =
            TWPackageWorkFolder::removeLeftovers(url.toLocalFile());
        TWDocumentPrompts &prompts = TWDocumentPrompts::prompts();
        // Receipts lost before the replace, which no copy of the business
        // held, are named with what was put back.
        const QList<TWMissingAttachment> lost =
            restored ? lostAttachments(*m_business) : QList<TWMissingAttachment>{};
        // The folder it came from is gone now: the business is named. One an
        // earlier build left is named with where it lay and what it holds.
        if (restored && !restored->byEarlierVersion)
            prompts.showMessage(
                TWLocalized("documentRestoredMessage")
                    .arg(package.fileName(), QDir::toNativeSeparators(package.absolutePath())),
                windowForSheet());
        else if (restored)
            prompts.showMessage(TWLocalized("documentRestoredEarlierMessage")
                                    .arg(package.fileName(),
                                         QDir::toNativeSeparators(restored->path),
                                         describeContents(restored->contents),
                                         QDir::toNativeSeparators(package.absolutePath())),
                                windowForSheet());
        if (!lost.isEmpty())
            prompts.showMessage(TWLocalized("documentRestoredMissingMessage")
                                    .arg(package.fileName(), attachmentLines(lost)),
                                windowForSheet());
        for (const TWPackageLeftover &leftover : kept)
            prompts.showMessage(
                TWLocalized("documentLeftoverKeptMessage")
                    .arg(package.fileName(), QDir::toNativeSeparators(leftover.path),
                         describeContents(leftover.contents), TWPackageFiles::packageSuffix),
                windowForSheet());
        if (error)
            *error = std::nullopt;
        return true;
    }
    if (opened && opened->domain() == TWUpgradeErrorDomain &&
        opened->code() == TWUpgradeRequiredErrorCode)
        return upgradeFromURL(url, error);
    // Still locked: the user was asked and chose Cancel, so it is not told again.
    if (opened && opened->domain() == TWPackageErrorDomain &&
        opened->code() == TWPackageLockedError)
        opened = std::nullopt;
    if (error)
        *error = opened;
    return false;
}

// The older package stays exactly as it is: the copy is made beside the chosen
// place, upgraded and saved there, and only then put in place.
bool TWBusinessController::upgradeFromURL(const QUrl &url, TWErrorResult *error)
{
    if (error)
        *error = std::nullopt;
    TWDocumentPrompts &prompts = TWDocumentPrompts::prompts();
    const QString original = url.toLocalFile();
    const QFileInfo info(original);
    if (!prompts.askUpgrade(info.fileName(), windowForSheet()))
        return false;
    const QString proposed = info.absoluteDir().filePath(
        QStringLiteral("%1_v2.%2").arg(info.completeBaseName(), info.suffix()));
    const QString destination =
        prompts.chooseSaveLocation(proposed, TWLocalized("upgradeTitle"), windowForSheet());
    if (destination.isEmpty())
        return false;

    const auto fail = [error](const TWError &failure) {
        if (error)
            *error = failure;
        return false;
    };
    if (TWPackageMoves::overlaps(destination, original))
        return fail(documentError("upgradeDestinationOriginal", destination));
    if (TWErrorResult refusal = TWBusiness::replaceRefusal(destination))
        return fail(*refusal);

    const QString work = TWPackageMoves::temporarySibling(destination, QStringLiteral("upgrade"));
    QString reason;
    if (!TWPackageMoves::copyFolder(original, work, &reason))
        return fail(documentError("upgradeCopyError", destination, reason));
    const auto discard = [&work] { QDir(work).removeRecursively(); };
    {
        TWErrorResult failure;
        std::unique_ptr<TWBusiness> upgraded =
            TWBusiness::businessWithURL(QUrl::fromLocalFile(work), true, &failure);
        if (!upgraded) {
            discard();
            return fail(documentError("upgradeOpenError", destination, describe(failure)));
        }
        if (TWErrorResult saved =
                upgraded->writeToURL(QUrl::fromLocalFile(work), TWSaveOperationSave)) {
            upgraded.reset();
            discard();
            return fail(documentError("upgradeSaveError", destination, describe(saved)));
        }
    }
    if (!TWPackageMoves::replace(work, destination, &reason)) {
        discard();
        return fail(documentError("upgradeReplaceError", destination, reason));
    }
    TWPackageWorkFolder::keepLeftoversBeside(destination);
    // The saved copy is the document now; it needs no upgrade any more.
    TWErrorResult failure;
    const QUrl copy = QUrl::fromLocalFile(destination);
    std::unique_ptr<TWBusiness> business = TWBusiness::businessWithURL(copy, false, &failure);
    if (!business)
        return fail(documentError("upgradeOpenError", destination, describe(failure)));
    m_business = std::move(business);
    setFileURL(copy);
    updateChangeCount(2);
    return true;
}

bool TWBusinessController::writeToURL(const QUrl &url, TWSaveOperation operation,
                                      TWErrorResult *error)
{
    const bool progress = isApplicationActive() && windowForSheet();
    if (progress)
        showProgress(true);
    *error = m_business ? m_business->writeToURL(url, operation)
                        : TWBusiness::databaseError(21 /* SQLITE_MISUSE */);
    if (progress)
        showProgress(false);
    return !*error;
}

bool TWBusinessController::saveDocument()
{
    if (m_fileURL.isEmpty())
        return saveDocumentAs();
    ++m_saving;
    const auto saved = qScopeGuard([this] { --m_saving; });
    // A package renamed or moved while open is saved where it is now, never
    // as a new package without its attachment files at the old name.
    const QString named = m_fileURL.toLocalFile();
    const bool moved = followPackage();
    // Not followed where the program would not open it, where it may be
    // thrown away or inside another business: the user chooses a place.
    if (const QString now = movedToUnfitPlace(); !now.isEmpty()) {
        TWDocumentPrompts::prompts().showMessage(TWLocalized("documentMovedUnfitMessage")
                                                     .arg(QFileInfo(named).fileName(),
                                                          QDir::toNativeSeparators(now),
                                                          unfitPlaceReason(now)),
                                                 windowForSheet());
        return saveDocumentAs();
    }
    TWErrorResult error;
    const bool written = whileBusyAsk(&error, [this](TWErrorResult *failure) {
        return writeToURL(m_fileURL, TWSaveOperationSave, failure);
    });
    if (!written) {
        // Told at once and not tried again: the changes stay unsaved.
        if (error->domain() == TWPackageErrorDomain && error->code() == TWPackageLockedError)
            return false;
        if (error->domain() != TWPackageErrorDomain || error->code() != TWPackageChangedError) {
            presentError(*error);
            return false;
        }
        // Another running copy saved the business since: its work is written
        // over only when the user says so.
        switch (TWDocumentPrompts::prompts().askPackageChanged(displayName(), windowForSheet())) {
        case TWDocumentPrompts::SaveAnyway:
            m_business->acceptPackageChanges();
            if (!writeToURL(m_fileURL, TWSaveOperationSave, &error)) {
                presentError(*error);
                return false;
            }
            break;
        case TWDocumentPrompts::RevertToSaved:
            revertToSavedPackage();
            return false;
        case TWDocumentPrompts::KeepUnsaved:
            m_changedQuestionDeclined = true;
            return false;
        }
    }
    m_changedQuestionDeclined = false;
    TWPackageWorkFolder::keepLeftoversBeside(m_fileURL.toLocalFile());
    updateChangeCount(2);
    if (moved)
        TWDocumentPrompts::prompts().showMessage(
            TWLocalized("documentMovedMessage")
                .arg(QFileInfo(named).fileName(),
                     QDir::toNativeSeparators(m_fileURL.toLocalFile())),
            windowForSheet());
    showMissingAttachments();
    return true;
}

bool TWBusinessController::whileBusyAsk(TWErrorResult *error,
                                        const std::function<bool(TWErrorResult *)> &attempt)
{
    for (;;) {
        if (attempt(error))
            return true;
        if (!*error || (*error)->domain() != TWPackageErrorDomain ||
            (*error)->code() != TWPackageLockedError || m_autoSaving)
            return false;
        if (!askHoldingAutoSave(
                [&] {
                    return TWDocumentPrompts::prompts().askPackageBusy(
                        (*error)->localizedDescription(), windowForSheet());
                },
                [](bool) { return false; }))
            return false;
    }
}

bool TWBusinessController::followPackage()
{
    if (!m_business || !m_business->followPackage())
        return false;
    setFileURL(m_business->url());
    TWPreferences::preferences().setLastOpenBusinessURL(m_fileURL.toLocalFile());
    return true;
}

QString TWBusinessController::movedToUnfitPlace() const
{
    const QString now = m_business ? m_business->movedPackagePath() : QString();
    return unfitPlaceReason(now).isEmpty() ? QString() : now;
}

bool TWBusinessController::saveDocumentAs()
{
    ++m_saving;
    const auto saved = qScopeGuard([this] { --m_saving; });
    // Proposed under the name the package has now.
    followPackage();
    QString proposed = m_fileURL.isEmpty()
                           ? QDir::home().filePath(displayName() + QStringLiteral(".tallyworth"))
                           : m_fileURL.toLocalFile();
    const QString path = TWDocumentPrompts::prompts().chooseSaveLocation(
        proposed, TWLocalized("saveAsTitle"), windowForSheet());
    if (path.isEmpty())
        return false;
    return saveDocumentToURL(QUrl::fromLocalFile(path));
}

bool TWBusinessController::saveDocumentToURL(const QUrl &url)
{
    ++m_saving;
    const auto saved = qScopeGuard([this] { --m_saving; });
    const QString target = url.toLocalFile();
    // The document's own package, however it is named now: a save in place,
    // unless it lies where no business is kept. A name that leads elsewhere
    // now is not the document's, whatever it was; but where the folder the
    // document held is gone, a package there holding this business as this
    // window last saved it is its own.
    followPackage();
    if (m_business)
        m_business->recognizePackage(TWPackageFiles::resolvedPath(target));
    if (m_business && m_business->isOwnPackage(target)) {
        if (const QString now = movedToUnfitPlace(); !now.isEmpty()) {
            presentError(documentError("saveUnfitPlaceError", now, unfitPlaceReason(now)));
            return false;
        }
        return saveDocument();
    }

    // What saves onto this place left when they were cut off.
    TWPackageWorkFolder::removeLeftovers(target);
    const QFileInfo existing(target);
    if (existing.exists() || existing.isSymLink()) {
        if (!replacePackage(url))
            return false;
    } else if (TWErrorResult error; !writeToURL(url, TWSaveOperationSaveAs, &error)) {
        presentError(*error);
        return false;
    }
    // What a cut-off replace left beside a name it had emptied is never put
    // back there once this business was written at it.
    TWPackageWorkFolder::keepLeftoversBeside(target);
    setFileURL(url);
    updateChangeCount(2);
    TWPreferences::preferences().setLastOpenBusinessURL(target);
    showMissingAttachments();
    return true;
}

bool TWBusinessController::replacePackage(const QUrl &url)
{
    const QString target = url.toLocalFile();
    // Only a business package is replaced, never a folder of the user's, nor
    // one that holds the package the document still reads its files from.
    if (m_business && m_business->usesPackage(target)) {
        presentError(documentError("saveReplaceOwnError", target));
        return false;
    }
    // Nor one another open document holds: each would save over the other.
    if (const TWDocumentController *documents = TWDocumentController::sharedDocumentController()) {
        for (const TWBusinessController *document : documents->documents()) {
            if (document != this && document->business() &&
                document->business()->usesPackage(target)) {
                presentError(documentError("saveOpenElsewhereError", target));
                return false;
            }
        }
    }
    if (TWErrorResult refusal = TWBusiness::replaceRefusal(target)) {
        presentError(*refusal);
        return false;
    }
    // Written whole beside it first, so that a failure leaves the old one as
    // it was; once in its place, the copy becomes the document's package
    // without being written again, so nothing can fail after the old one
    // went. The work folder is gone before any failure is shown.
    // The two folders swap names in one step; the old package then goes on
    // to a locked name of its own, so that a replace cut off before removing
    // it leaves a leftover known as ours.
    // Receipts only the old package still holds (the document's own folder
    // was lost in a move) are taken into the new one first.
    TWErrorResult error;
    // Another running copy saving into the package must not land in what
    // this one removes, nor this one take its receipts half-way: the target's
    // lock is taken as a save takes it, from reading the target until the
    // swap; the other copy's next save then finds the business replaced.
    const TWPackageFiles::Descriptor targetLock(
        ::open(QFile::encodeName(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const auto lockTarget = [&] {
        return targetLock.get() < 0 || whileBusyAsk(&error, [&](TWErrorResult *failure) {
                   if (TWPackageFiles::lockFolder(targetLock.get(), true,
                                                  kTargetLockWaitMilliseconds))
                       return true;
                   *failure = TWBusiness::packageLockedError(target, targetLock.get());
                   return false;
               });
    };
    // What the user chose to replace is the package read when the replace
    // began: another running copy's replace may have put its own business at
    // the name meanwhile (the lock taken is then the old package's), and that
    // business is never removed in its place without a word.
    const auto sameTarget = [&] {
        struct stat held;
        struct stat named;
        if (targetLock.get() < 0 || (::fstat(targetLock.get(), &held) == 0 &&
                                     ::stat(QFile::encodeName(target).constData(), &named) == 0 &&
                                     held.st_dev == named.st_dev && held.st_ino == named.st_ino))
            return true;
        error = documentError("saveReplacedMeanwhileError", target);
        return false;
    };
    {
        TWPackageWorkFolder work(target, QStringLiteral("save"));
        TWPackageWorkFolder aside(target, QStringLiteral("replaced"));
        QString reason;
        // The new package is written beside the old one, in the folder the
        // user chose: one that cannot be written to is named, not the work
        // folder that could not be made in it.
        if (!work.isLocked())
            error = replaceFolderError(target, work.failure());
        else if (writeToURL(QUrl::fromLocalFile(work.path()), TWSaveOperationSaveTo, &error) &&
                 lockTarget() && sameTarget() &&
                 !(error = m_business->takeMissingAttachments(target))) {
            // Should the replace be cut off with nothing at the name, the
            // opening puts back this very package, and no other folder.
            // The old package, once moved aside, is known by the same record
            // as what the user chose to replace.
            aside.recordReplace(target, work.recordReplace(target));
            if (!TWPackageMoves::replace(work.path(), target, &reason, aside.path()))
                error = documentError("saveReplaceError", target, reason);
            else if (!m_business->adoptSavedCopy(work.path(), url))
                writeToURL(url, TWSaveOperationSaveAs, &error);
        } else if (error && (error->localizedDescription().contains(work.path()) ||
                             error->localizedDescription().contains(
                                 QString::fromLocal8Bit(std::strerror(ENOSPC))))) {
            // The hidden work folder is the program's own business: the user
            // is told about the folder they chose.
            error = replaceFolderError(
                target, QString(error->localizedDescription()).replace(work.path(), target));
        }
    }
    if (error) {
        // A refusal because another copy is saving was told already.
        if (error->domain() != TWPackageErrorDomain || error->code() != TWPackageLockedError)
            presentError(*error);
        return false;
    }
    return true;
}

TWError TWBusinessController::replaceFolderError(const QString &target, const QString &reason)
{
    // A full disk is said as such: no other folder on it would do. A disk
    // nearly full has blocks left, but not the ones the save needed: the
    // failure itself says so.
    const QString folder = QFileInfo(target).absolutePath();
    const bool full =
        TWPackageMoves::isDiskFull(folder) ||
        reason.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))) ||
        reason.contains(QString::fromLocal8Bit(std::strerror(EDQUOT))) ||
        reason.contains(TWBusiness::databaseError(13 /* SQLITE_FULL */).localizedDescription()) ||
        reason == TWLocalized("packageFullDescription").arg(target);
    return TWError(TWPackageErrorDomain, TWPackageFolderError,
                   full ? TWLocalized("saveReplaceFullError").arg(target, folder)
                        : TWLocalized("saveReplaceFolderError").arg(target, folder, reason));
}

void TWBusinessController::showMissingAttachments()
{
    if (m_business && !m_business->missingAttachments().isEmpty())
        TWDocumentPrompts::prompts().showMessage(
            missingAttachmentsMessage(m_business->missingAttachments()), windowForSheet());
}

QString TWBusinessController::missingAttachmentsMessage(const QList<TWMissingAttachment> &missing)
{
    return TWLocalized("missingAttachmentsMessage").arg(attachmentLines(missing));
}

template <typename Ask, typename Kept>
auto TWBusinessController::askHoldingAutoSave(Ask ask, Kept kept) -> decltype(ask())
{
    // The question runs the event loop: the autosave timer fires meanwhile.
    ++m_questionsOpen;
    const auto answer = ask();
    --m_questionsOpen;
    if (m_questionsOpen == 0 && m_autoSaveHeld) {
        m_autoSaveHeld = false;
        if (kept(answer))
            autoSave();
    }
    return answer;
}

bool TWBusinessController::revertDocumentToSaved()
{
    if (m_fileURL.isEmpty())
        return false;
    // Reverting throws the changes away: the user confirms first.
    if (!askHoldingAutoSave(
            [this] {
                return TWDocumentPrompts::prompts().askRevert(displayName(), windowForSheet());
            },
            [](bool revert) { return !revert; }))
        return false;
    return revertToSavedPackage();
}

bool TWBusinessController::revertToSavedPackage()
{
    // The package the document holds, wherever it is now: its old name may
    // lead to another business (names swapped, a link re-pointed) or nowhere.
    const QString held = m_business ? m_business->heldPackagePath() : QString();
    TWErrorResult error =
        TWError(TWPackageErrorDomain, TWPackageElsewhereError, TWLocalized("revertGoneReason"));
    std::unique_ptr<TWBusiness> business;
    if (!held.isEmpty())
        business = TWBusiness::businessWithURL(QUrl::fromLocalFile(held), false, &error);
    // Still that package once read (nothing took its place meanwhile).
    if (business && !m_business->isOwnPackage(business->heldPackagePath())) {
        business.reset();
        error =
            TWError(TWPackageErrorDomain, TWPackageElsewhereError, TWLocalized("revertGoneReason"));
    }
    if (!business) {
        presentError(documentError("revertErrorMessage", displayName(), describe(error)));
        return false;
    }
    stopObserving();
    if (m_windowController)
        m_windowController->setDetailView(nullptr);
    releaseControllers();
    m_taskTimer->reset();
    // The old store goes only now that its views are gone.
    m_business = std::move(business);
    m_changedQuestionDeclined = false;
    // Read where no business is kept (the Trash): the window keeps its name,
    // so that the next save says where the business went and asks where to
    // save it, as it would have before the revert.
    if (!unfitPlaceReason(held).isEmpty())
        m_business->setUrl(m_fileURL);
    else if (m_business->url() != m_fileURL) {
        setFileURL(m_business->url());
        TWPreferences::preferences().setLastOpenBusinessURL(m_fileURL.toLocalFile());
    }
    updateChangeCount(2);
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->rebuildMenulet();
    initUI();
    return true;
}

void TWBusinessController::autoSave()
{
    // A save under way (its message, its Save As dialog, its question) is
    // answered once: the timer never starts it again meanwhile.
    if (m_saving > 0)
        return;
    if (m_questionsOpen > 0) {
        m_autoSaveHeld = true;
        return;
    }
    // The question the user answered with Cancel is not put again every
    // minute: it comes back when the user saves.
    if (m_changedQuestionDeclined)
        return;
    if (!m_fileURL.isEmpty() && m_edited && !m_closing) {
        m_autoSaving = true;
        const auto done = qScopeGuard([this] { m_autoSaving = false; });
        saveDocument();
    }
}

bool TWBusinessController::canClose()
{
    // The idle question's answer says where the running item ends: it is
    // answered before anything else is asked.
    if (m_taskTimer && m_taskTimer->isAskingIdle()) {
        comeForward();
        QApplication::beep();
        return false;
    }
    const bool timing = m_taskTimer && m_taskTimer->isTaskTimerRunning();
    // An entry typed into a sheet is not in the store: the question names it,
    // even when nothing else changed.
    const QString sheet = m_sheets.empty() || !m_sheets.front().window
                              ? QString()
                              : m_sheets.front().window->windowTitle();
    if (!m_edited && !timing && m_sheets.empty())
        return true;
    // Quit asks each business in turn: the one asked about comes forward.
    comeForward();
    const auto answer = askHoldingAutoSave(
        [this, &sheet] {
            return TWDocumentPrompts::prompts().askSaveChanges(displayName(), windowForSheet(),
                                                               sheet);
        },
        [](TWDocumentPrompts::SaveChangesAnswer kept) {
            return kept == TWDocumentPrompts::Cancel;
        });
    switch (answer) {
    case TWDocumentPrompts::Save:
        // The timer stops only now that the window closes, so that the save
        // holds the item's last end; Cancel leaves it running untouched.
        if (m_taskTimer)
            m_taskTimer->stopTaskTimer(QDateTime());
        return saveDocument();
    case TWDocumentPrompts::DontSave:
        return true;
    case TWDocumentPrompts::Cancel:
        break;
    }
    return false;
}

void TWBusinessController::comeForward()
{
    QMainWindow *window = windowForSheet();
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void TWBusinessController::close()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_taskTimer)
        m_taskTimer->stopTaskTimer(QDateTime());
    // A closing document never stays the one the status menu drives.
    if (TWApplicationDelegate *delegate = TWApplicationDelegate::instance())
        delegate->documentWillClose(this);
    if (QMainWindow *window = windowForSheet())
        window->hide();
    emit documentClosed(this);
}
