#include "app/TWPackageFileDialog.h"

#include "foundation/TWLocalized.h"
#include "store/TWPackageFiles.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace
{

// A typed path as the system takes it: ".." after a link leaves the folder
// the link leads to.
QString cleanPath(const QString &path)
{
    return TWPackageFiles::absolutePath(path);
}

// Packages show as documents, not as folders. The model asks from its own
// thread: the kind's name is read once, here.
class PackageIconProvider final : public QFileIconProvider
{
public:
    PackageIconProvider() : m_kind(TWLocalized("packageKind")) {}
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isDir() && TWPackageFiles::isPackage(info.absoluteFilePath()))
            return QFileIconProvider::icon(File);
        return QFileIconProvider::icon(info);
    }
    QString type(const QFileInfo &info) const override
    {
        if (info.isDir() && TWPackageFiles::isPackage(info.absoluteFilePath()))
            return m_kind;
        return QFileIconProvider::type(info);
    }

private:
    const QString m_kind;
};

QAbstractFileIconProvider *packageIcons()
{
    // Shared and never released: the dialog's model asks it from its own
    // thread, which may outlive the dialog by a moment.
    static auto *provider = new PackageIconProvider();
    return provider;
}

} // namespace

TWPackageChoice twSaveChoice(const QString &path)
{
    const QString clean = cleanPath(path);
    const QString holder = TWPackageFiles::enclosingPackage(clean);
    if (!holder.isEmpty())
        return {TWPackageChoice::Refuse, clean, holder};
    if (TWPackageFiles::isPackage(clean))
        return {TWPackageChoice::Replace, clean, {}};
    if (QFileInfo(clean).isDir())
        return {TWPackageChoice::Enter, clean, {}};
    const QString target = TWPackageFiles::hasPackageName(clean)
                               ? clean
                               : clean + QLatin1Char('.') + TWPackageFiles::packageSuffix;
    const QFileInfo existing(target);
    if (existing.exists() || existing.isSymLink())
        return {TWPackageChoice::Replace, target, {}};
    return {TWPackageChoice::Choose, target, {}};
}

TWPackageChoice twOpenChoice(const QString &path)
{
    const QString clean = cleanPath(path);
    const QString package = twPackageInstead(clean);
    if (!package.isEmpty())
        return {TWPackageChoice::Choose, package, {}};
    if (QFileInfo(clean).isDir())
        return {TWPackageChoice::Enter, clean, {}};
    return {TWPackageChoice::Stay, clean, {}};
}

QString twPackageInstead(const QString &folder)
{
    const QString clean = cleanPath(folder);
    const QString holder = TWPackageFiles::enclosingPackage(clean);
    if (!holder.isEmpty())
        return holder;
    return TWPackageFiles::isPackage(clean) ? clean : QString();
}

TWPackageFileDialog::TWPackageFileDialog(Purpose purpose, const QString &title,
                                         const QString &proposed, QWidget *parent)
    : QFileDialog(parent, title), m_purpose(purpose)
{
    // Qt's own dialog: a package must be told from a folder, and the
    // desktop's dialog would open it like any folder.
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(packageIcons());
    if (purpose == Purpose::Save) {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setNameFilter(TWLocalized("packageFilter"));
        setDefaultSuffix(TWPackageFiles::packageSuffix);
        // The replace question is ours.
        setOption(QFileDialog::DontConfirmOverwrite);
        if (!proposed.isEmpty())
            selectFile(proposed);
    } else {
        // A package is a folder to Qt: only folders can be chosen.
        setFileMode(QFileDialog::Directory);
    }

    // Opened from the list, the folder pop-up or the side bar: chosen.
    connect(this, &QFileDialog::directoryEntered, this,
            [this](const QString &folder) { leavePackage(folder, true); });
    // Shown any other way (back, forward, a typed path): shown from outside.
    // Queued, since the dialog finishes showing the folder after it says so.
    if (auto *model = findChild<QFileSystemModel *>())
        connect(
            model, &QFileSystemModel::rootPathChanged, this,
            [this] { leavePackage(directory().absolutePath(), false); }, Qt::QueuedConnection);
    // A package picked in the list puts its name in the name field, as a file does.
    connect(this, &QFileDialog::currentChanged, this, [this](const QString &path) {
        QLineEdit *name = nameField();
        if (m_purpose == Purpose::Save && name && !name->hasFocus() &&
            TWPackageFiles::isPackage(path))
            name->setText(QFileInfo(path).fileName());
    });
}

QLineEdit *TWPackageFileDialog::nameField() const
{
    return findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

void TWPackageFileDialog::accept()
{
    const QStringList files = selectedFiles();
    if (files.isEmpty())
        return;
    decide(m_purpose == Purpose::Save ? twSaveChoice(files.constFirst())
                                      : twOpenChoice(files.constFirst()));
}

void TWPackageFileDialog::decide(const TWPackageChoice &choice)
{
    switch (choice.step) {
    case TWPackageChoice::Choose:
        take(choice.path);
        return;
    case TWPackageChoice::Replace:
        askReplace(choice.path);
        return;
    case TWPackageChoice::Enter:
        setDirectory(choice.path);
        if (QLineEdit *name = nameField())
            name->clear();
        return;
    case TWPackageChoice::Refuse:
        refuse(choice);
        return;
    case TWPackageChoice::Stay:
        return;
    }
}

void TWPackageFileDialog::take(const QString &path)
{
    m_chosen = path;
    QDialog::accept();
}

void TWPackageFileDialog::askReplace(const QString &path)
{
    const QFileInfo info(path);
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                TWLocalized("replacePackageMessage").arg(info.fileName()),
                                QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(
        TWLocalized("replacePackageInformative").arg(QDir::toNativeSeparators(info.path())));
    QPushButton *replace = box->addButton(TWLocalized("replacePackage"), QMessageBox::AcceptRole);
    QPushButton *cancel = box->addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    // Keeping the business that is there is the safe answer to a stray Return.
    box->setDefaultButton(cancel);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this, [this, box, replace, path] {
        if (box->clickedButton() == replace)
            take(path);
    });
    box->open();
}

void TWPackageFileDialog::refuse(const TWPackageChoice &choice)
{
    auto *box = new QMessageBox(
        QMessageBox::Warning, windowTitle(),
        TWLocalized("packageNestedDescription")
            .arg(QDir::toNativeSeparators(choice.path), QDir::toNativeSeparators(choice.package)),
        QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

void TWPackageFileDialog::leavePackage(const QString &folder, bool chosen)
{
    const QString package = twPackageInstead(folder);
    if (package.isEmpty())
        return;
    const QString name = QFileInfo(package).fileName();
    setDirectory(QFileInfo(package).absolutePath());
    selectFile(package);
    if (QLineEdit *field = nameField())
        field->setText(name);
    if (!chosen)
        return;
    if (m_purpose == Purpose::Open)
        take(package);
    else
        askReplace(package);
}
