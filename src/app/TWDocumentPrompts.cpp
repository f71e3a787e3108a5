#include "app/TWDocumentPrompts.h"

#include "foundation/TWLocalized.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace
{

TWDocumentPrompts *g_prompts = nullptr;

const QString kPackageSuffix = QStringLiteral("tallyworth");

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

QString TWDocumentPrompts::chooseSaveLocation(const QString &proposed, const QString &title,
                                              QWidget *parent)
{
    QFileDialog dialog(parent, title, proposed, TWLocalized("packageFilter"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(kPackageSuffix);
    dialog.selectFile(proposed);
    // The package is a folder; our own dialog lets it be chosen as a name.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo(path).suffix().compare(kPackageSuffix, Qt::CaseInsensitive) != 0)
        path += QLatin1Char('.') + kPackageSuffix;
    return path;
}

QString TWDocumentPrompts::chooseOpenLocation(QWidget *parent)
{
    // A package is a folder: pick it, or the "Data.sql" inside it.
    QFileDialog dialog(parent, TWLocalized("openTitle"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    QString path = dialog.selectedFiles().constFirst();
    const QFileInfo info(path);
    if (info.isFile() && info.fileName() == QLatin1String("Data.sql"))
        path = info.absolutePath();
    return path;
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

TWDocumentPrompts::SaveChangesAnswer TWDocumentPrompts::askSaveChanges(const QString &displayName,
                                                                       QWidget *parent)
{
    QMessageBox box(QMessageBox::Warning, TWLocalized("tallyworth"),
                    TWLocalized("saveChangesMessage").arg(displayName), QMessageBox::NoButton,
                    parent);
    box.setInformativeText(TWLocalized("saveChangesInfo"));
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
