#pragma once
// The one file dialog of the program: it chooses business documents and the
// files and folders the user saves, opens, imports and attaches. A package is
// a folder on disk but one document here: it is shown as a document, never
// opened as a folder, and no file is written into it or read from inside it.
// Saving a business by the name of one asks to replace it, as for any file.

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QLineEdit;
class QPushButton;

// What choosing a path in the dialog comes to, decided from the disk alone.
struct TWPackageChoice {
    enum Step {
        Choose,  // take `path`
        Replace, // `path` exists: ask to replace it, then take it
        Enter,   // `path` is a plain folder: show what it holds
        Refuse,  // `path` lies inside the business package `package`
        Stay,    // nothing that can be taken
    };
    Step step = Stay;
    QString path;
    QString package;
};

// Saving to `path`, the typed name as the dialog reads it (the package
// ending may be missing).
TWPackageChoice twSaveChoice(const QString &path);
// Opening `path`: a package, or anything inside one, opens that package.
TWPackageChoice twOpenChoice(const QString &path);
// Saving a file (not a business) to `path`, its final name. A business, or
// anything inside one, is refused (`package` names the business).
TWPackageChoice twSaveFileChoice(const QString &path);
// Opening the file (or, with `folder`, the plain folder) at `path`; a
// business, or anything inside one, is refused.
TWPackageChoice twOpenFileChoice(const QString &path, bool folder = false);
// What a refused file choice says: a business is no file, or the place lies
// inside one.
QString twFileRefusalMessage(const TWPackageChoice &choice);
// The package to show from outside instead of `folder` (the outermost one
// when `folder` is one or lies inside one); empty when `folder` is fine.
QString twPackageInstead(const QString &folder);

// The folder a save starts in when nothing else says: Documents, or the home
// folder where there is no Documents folder.
QString twSaveFolder();
// Where a save dialog proposes `proposed` (a path, or a bare name): a bare
// name, or a path whose folder does not exist, goes into twSaveFolder(), so
// that the dialog shows the folder the file would be written to.
QString twSaveProposal(const QString &proposed);
// The path a save to `path` writes in the format whose extension is
// `extension`: a name ending in it (in any case), or in one of `named` (the
// extensions that choose another format), is kept as it is; any other name
// gets the extension added.
QString twPathWithExtension(const QString &path, const QString &extension,
                            const QStringList &named = {});

class TWPackageFileDialog final : public QFileDialog
{
    Q_OBJECT
public:
    enum class Purpose {
        Save,       // a business document
        Open,       // a business document
        SaveFile,   // a file written for the user
        OpenFile,   // one file to read
        OpenFiles,  // one or more files to read
        OpenFolder, // a plain folder to read from
    };
    // A save dialog proposes `proposed` (a path, or a name in the folder
    // shown); an open dialog ignores it.
    TWPackageFileDialog(Purpose purpose, const QString &title, const QString &proposed,
                        QWidget *parent);

    // Opens a window-modal dialog on `parent` that deletes itself when it
    // ends; `done` gets the places chosen (none when cancelled). A save
    // starts where twSaveProposal() puts `proposed`.
    using Done = std::function<void(const QStringList &)>;
    static TWPackageFileDialog *ask(Purpose purpose, QWidget *parent, const QString &title,
                                    const QString &proposed, const QStringList &nameFilters,
                                    Done done);

    // Saving a file: the typed path -> the path written (the extension its
    // format takes). Without one, a name without an extension takes the
    // default suffix.
    void setTarget(std::function<QString(const QString &)> target) { m_target = std::move(target); }

    // The place chosen; empty unless the dialog was accepted.
    QString chosenPath() const { return chosenPaths().value(0); }
    QStringList chosenPaths() const { return result() == Accepted ? m_chosenAll : QStringList(); }

    void accept() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool savesBusiness() const { return m_purpose == Purpose::Save; }
    TWPackageChoice choiceFor(const QString &path) const;
    void decide(const TWPackageChoice &choice);
    void take(const QStringList &paths);
    void askReplace(const QString &path);
    void refuse(const TWPackageChoice &choice);
    // A package came to be shown as a folder: show it from outside, its
    // name taken; `chosen` when the user opened it, which chooses it.
    void leavePackage(const QString &folder, bool chosen);
    // Qt titles the accept button "Open" while a folder is picked; a
    // business picked in a save dialog is saved to, not opened.
    void keepSaveTitle();
    QPushButton *saveButton() const;
    QLineEdit *nameField() const;

    Purpose m_purpose;
    QStringList m_chosenAll;
    std::function<QString(const QString &)> m_target;
};
