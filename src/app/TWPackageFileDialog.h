#pragma once
// The file dialog that chooses a business document. A package is a folder on
// disk but one document here: it is chosen by its name, never opened as a
// folder, and saving by the name of one asks to replace it, as for any file.

#include <QFileDialog>
#include <QString>

class QLineEdit;

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
// The package to show from outside instead of `folder` (the outermost one
// when `folder` is one or lies inside one); empty when `folder` is fine.
QString twPackageInstead(const QString &folder);

class TWPackageFileDialog final : public QFileDialog
{
    Q_OBJECT
public:
    enum class Purpose { Save, Open };
    // A save dialog proposes `proposed` (a path); an open dialog ignores it.
    TWPackageFileDialog(Purpose purpose, const QString &title, const QString &proposed,
                        QWidget *parent);

    // The place chosen; empty unless the dialog was accepted.
    QString chosenPath() const { return result() == Accepted ? m_chosen : QString(); }

    void accept() override;

private:
    void decide(const TWPackageChoice &choice);
    void take(const QString &path);
    void askReplace(const QString &path);
    void refuse(const TWPackageChoice &choice);
    // A package came to be shown as a folder: show it from outside, its
    // name taken; `chosen` when the user opened it, which chooses it.
    void leavePackage(const QString &folder, bool chosen);
    QLineEdit *nameField() const;

    Purpose m_purpose;
    QString m_chosen;
};
