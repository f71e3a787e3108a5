#include "app/TWDocumentPrompts.h"

#include "app/TWPackageFileDialog.h"

#include "foundation/TWLocalized.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace
{

TWDocumentPrompts *g_prompts = nullptr;

} // namespace

TWDocumentPrompts &TWDocumentPrompts::prompts()
{
    static TWDocumentPrompts dialogs;
    return g_prompts ? *g_prompts : dialogs;
}

void TWDocumentPrompts::setPrompts(TWDocumentPrompts *prompts)
{
    g_prompts = prompts;
}

bool TWDocumentPrompts::askUpgrade(const QString &fileName, QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, TWLocalized("upgradeTitle"),
                    TWLocalized("fileUpgradeMessage").arg(fileName), QMessageBox::NoButton, parent);
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton *save = box.addButton(TWLocalized("save"), QMessageBox::AcceptRole);
    box.addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.exec();
    return box.clickedButton() == save;
}

QFileDialog *TWDocumentPrompts::makeSaveDialog(const QString &proposed, const QString &title,
                                               QWidget *parent)
{
    return new TWPackageFileDialog(TWPackageFileDialog::Purpose::Save, title, proposed, parent);
}

QFileDialog *TWDocumentPrompts::makeOpenDialog(QWidget *parent)
{
    return new TWPackageFileDialog(TWPackageFileDialog::Purpose::Open, TWLocalized("openTitle"), {},
                                   parent);
}

QString TWDocumentPrompts::chosenLocation(const QFileDialog &dialog)
{
    const auto *packages = qobject_cast<const TWPackageFileDialog *>(&dialog);
    return packages ? packages->chosenPath() : QString();
}

QString TWDocumentPrompts::chooseSaveLocation(const QString &proposed, const QString &title,
                                              QWidget *parent)
{
    std::unique_ptr<QFileDialog> dialog(makeSaveDialog(proposed, title, parent));
    dialog->exec();
    return chosenLocation(*dialog);
}

QString TWDocumentPrompts::chooseOpenLocation(QWidget *parent)
{
    std::unique_ptr<QFileDialog> dialog(makeOpenDialog(parent));
    dialog->exec();
    return chosenLocation(*dialog);
}

bool TWDocumentPrompts::askRevert(const QString &displayName, QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, TWLocalized("revertTitle").arg(displayName),
                    TWLocalized("revertQuestion"), QMessageBox::NoButton, parent);
    box.setWindowModality(Qt::WindowModal);
    QPushButton *revert = box.addButton(TWLocalized("revert"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    // Keeping the changes is the safe answer to a stray Return.
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == revert;
}

TWDocumentPrompts::PackageChangedAnswer
TWDocumentPrompts::askPackageChanged(const QString &displayName, QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, TWLocalized("tallyworth"),
                    TWLocalized("packageChangedMessage").arg(displayName), QMessageBox::NoButton,
                    parent);
    box.setInformativeText(TWLocalized("packageChangedInfo"));
    box.setWindowModality(Qt::WindowModal);
    QPushButton *save = box.addButton(TWLocalized("saveAnyway"), QMessageBox::DestructiveRole);
    QPushButton *revert = box.addButton(TWLocalized("revert"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    // Writing over another program's work is never the answer to a stray Return.
    box.setDefaultButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return SaveAnyway;
    if (box.clickedButton() == revert)
        return RevertToSaved;
    return KeepUnsaved;
}

bool TWDocumentPrompts::askPackageBusy(const QString &message, QWidget *parent)
{
    QMessageBox box(QMessageBox::Information, TWLocalized("tallyworth"), message,
                    QMessageBox::NoButton, parent);
    box.setWindowModality(Qt::WindowModal);
    QPushButton *retry = box.addButton(TWLocalized("packageBusyTryAgain"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(retry);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == retry;
}

TWDocumentPrompts::SaveChangesAnswer TWDocumentPrompts::askSaveChanges(const QString &displayName,
                                                                       QWidget *parent,
                                                                       const QString &openSheet)
{
    QMessageBox box(QMessageBox::Warning, TWLocalized("tallyworth"),
                    TWLocalized("saveChangesMessage").arg(displayName), QMessageBox::NoButton,
                    parent);
    // A sheet still open holds an entry no answer here stores: it is named.
    box.setInformativeText(openSheet.isEmpty()
                               ? TWLocalized("saveChangesInfo")
                               : TWLocalized("saveChangesOpenSheetInfo").arg(openSheet));
    QPushButton *save = box.addButton(TWLocalized("save"), QMessageBox::AcceptRole);
    QPushButton *dontSave = box.addButton(TWLocalized("dontSave"), QMessageBox::DestructiveRole);
    box.addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save)
        return Save;
    if (box.clickedButton() == dontSave)
        return DontSave;
    return Cancel;
}

void TWDocumentPrompts::showError(const TWError &error, QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, TWLocalized("errorTitle"), error.localizedDescription(),
                    QMessageBox::Ok, parent);
    box.exec();
}

void TWDocumentPrompts::showMessage(const QString &message, QWidget *parent)
{
    QMessageBox box(QMessageBox::Information, TWLocalized("tallyworth"), message, QMessageBox::Ok,
                    parent);
    box.exec();
}
