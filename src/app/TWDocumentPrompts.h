#pragma once
// The questions and messages of the document commands (the upgrade question,
// save panels, the save-changes question, errors). The application shows them
// as dialogs; tests put in answers of their own.

#include "foundation/TWError.h"

#include <QString>

class QFileDialog;
class QWidget;

class TWDocumentPrompts
{
public:
    enum SaveChangesAnswer { Save, DontSave, Cancel };

    virtual ~TWDocumentPrompts() = default;

    // Whether to save an upgraded copy of the older package `fileName`.
    virtual bool askUpgrade(const QString &fileName, QWidget *parent);
    // A location for a package, `proposed` filled in; empty when cancelled.
    virtual QString chooseSaveLocation(const QString &proposed, const QString &title,
                                       QWidget *parent);
    // A package to open; empty when cancelled.
    virtual QString chooseOpenLocation(QWidget *parent);
    // `openSheet`: the title of a sheet still open on the window, whose entry
    // is not stored (empty: none).
    virtual SaveChangesAnswer askSaveChanges(const QString &displayName, QWidget *parent,
                                             const QString &openSheet = QString());
    // Whether to throw away the changes of `displayName` for its saved version.
    virtual bool askRevert(const QString &displayName, QWidget *parent);
    // What to do when the package of `displayName` was changed by another
    // program since this window opened or last saved it.
    enum PackageChangedAnswer { SaveAnyway, RevertToSaved, KeepUnsaved };
    virtual PackageChangedAnswer askPackageChanged(const QString &displayName, QWidget *parent);
    // Whether to try again a save or an opening refused at once because
    // another process kept the business locked; `message` says which.
    virtual bool askPackageBusy(const QString &message, QWidget *parent);
    virtual void showError(const TWError &error, QWidget *parent);
    virtual void showMessage(const QString &message, QWidget *parent);

    // The file dialogs behind the two choices above, not yet open, and the
    // place the user chose in one that was accepted (tests drive them).
    static QFileDialog *makeSaveDialog(const QString &proposed, const QString &title,
                                       QWidget *parent);
    static QFileDialog *makeOpenDialog(QWidget *parent);
    static QString chosenLocation(const QFileDialog &dialog);

    // The prompts in use (the dialogs, unless a test set others).
    static TWDocumentPrompts &prompts();
    // nullptr puts the dialogs back. The caller keeps ownership.
    static void setPrompts(TWDocumentPrompts *prompts);
};
