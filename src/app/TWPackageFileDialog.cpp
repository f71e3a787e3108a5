#include "app/TWPackageFileDialog.h"

#include "foundation/TWLocalized.h"
#include "store/TWPackageFiles.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

#include <optional>

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

// A file is never written into a business nor read from inside one, and a
// business is no file.
std::optional<TWPackageChoice> refusedAsFile(const QString &clean)
{
    const QString holder = TWPackageFiles::enclosingPackage(clean);
    if (!holder.isEmpty())
        return TWPackageChoice{TWPackageChoice::Refuse, clean, holder};
    if (TWPackageFiles::isPackage(clean))
        return TWPackageChoice{TWPackageChoice::Refuse, clean, clean};
    return std::nullopt;
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

TWPackageChoice twSaveFileChoice(const QString &path)
{
    const QString clean = cleanPath(path);
    if (std::optional<TWPackageChoice> refused = refusedAsFile(clean))
        return *refused;
    const QFileInfo existing(clean);
    if (existing.isDir())
        return {TWPackageChoice::Enter, clean, {}};
    if (existing.exists() || existing.isSymLink())
        return {TWPackageChoice::Replace, clean, {}};
    return {TWPackageChoice::Choose, clean, {}};
}

TWPackageChoice twOpenFileChoice(const QString &path, bool folder)
{
    const QString clean = cleanPath(path);
    if (std::optional<TWPackageChoice> refused = refusedAsFile(clean))
        return *refused;
    const QFileInfo existing(clean);
    if (existing.isDir())
        return {folder ? TWPackageChoice::Choose : TWPackageChoice::Enter, clean, {}};
    if (!folder && existing.isFile())
        return {TWPackageChoice::Choose, clean, {}};
    return {TWPackageChoice::Stay, clean, {}};
}

QString twFileRefusalMessage(const TWPackageChoice &choice)
{
    if (choice.path == choice.package)
        return TWLocalized("packageNotAFileMessage").arg(QFileInfo(choice.path).fileName());
    return TWLocalized("fileInsidePackageMessage")
        .arg(QDir::toNativeSeparators(choice.path), QDir::toNativeSeparators(choice.package));
}

QString twPackageInstead(const QString &folder)
{
    const QString clean = cleanPath(folder);
    const QString holder = TWPackageFiles::enclosingPackage(clean);
    if (!holder.isEmpty())
        return holder;
    return TWPackageFiles::isPackage(clean) ? clean : QString();
}

QString twSaveFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString twSaveProposal(const QString &proposed)
{
    if (proposed.isEmpty())
        return {};
    const QFileInfo info(proposed);
    if (info.isAbsolute() && info.dir().exists())
        return proposed;
    return QDir(twSaveFolder()).filePath(info.fileName());
}

QString twPathWithExtension(const QString &path, const QString &extension, const QStringList &named)
{
    if (extension.isEmpty())
        return path;
    const QString suffix = QFileInfo(path).suffix();
    if (!suffix.isEmpty() && (suffix.compare(extension, Qt::CaseInsensitive) == 0 ||
                              named.contains(suffix, Qt::CaseInsensitive)))
        return path;
    return path + QLatin1Char('.') + extension;
}

TWPackageFileDialog::TWPackageFileDialog(Purpose purpose, const QString &title,
                                         const QString &proposed, QWidget *parent)
    : QFileDialog(parent, title), m_purpose(purpose)
{
    // Qt's own dialog: a package must be told from a folder, and the
    // desktop's dialog would open it like any folder.
    setOption(QFileDialog::DontUseNativeDialog);
    setIconProvider(packageIcons());
    switch (purpose) {
    case Purpose::Save:
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setNameFilter(TWLocalized("packageFilter"));
        setDefaultSuffix(TWPackageFiles::packageSuffix);
        break;
    case Purpose::SaveFile:
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        break;
    case Purpose::Open:
        // A package is a folder to Qt: only folders can be chosen.
        setFileMode(QFileDialog::Directory);
        break;
    case Purpose::OpenFile:
    case Purpose::OpenFiles:
        setFileMode(purpose == Purpose::OpenFile ? QFileDialog::ExistingFile
                                                 : QFileDialog::ExistingFiles);
        // A link is handed on as the link, so that the reader refuses it.
        setOption(QFileDialog::DontResolveSymlinks);
        break;
    case Purpose::OpenFolder:
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
        break;
    }
    if (acceptMode() == QFileDialog::AcceptSave) {
        // The replace question is ours.
        setOption(QFileDialog::DontConfirmOverwrite);
        setLabelText(QFileDialog::Accept, TWLocalized("save"));
        if (proposed.isEmpty())
            setDirectory(twSaveFolder());
        else
            selectFile(twSaveProposal(proposed));
        // Qt retitles the button from many places (typing, picking, a folder
        // loading): the title is put right whenever the button is drawn, and
        // after a pick or typing, which may leave Qt's "Open" standing.
        if (QPushButton *button = saveButton())
            button->installEventFilter(this);
        const auto keep = [this] { keepSaveTitle(); };
        if (auto *list = findChild<QAbstractItemView *>(QStringLiteral("listView")))
            connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this, keep,
                    Qt::QueuedConnection);
        if (QLineEdit *name = nameField())
            connect(name, &QLineEdit::textChanged, this, keep, Qt::QueuedConnection);
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
        if (savesBusiness() && name && !name->hasFocus() && TWPackageFiles::isPackage(path))
            name->setText(QFileInfo(path).fileName());
    });
}

QPushButton *TWPackageFileDialog::saveButton() const
{
    auto *buttons = findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    return buttons ? buttons->button(QDialogButtonBox::Save) : nullptr;
}

bool TWPackageFileDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == saveButton())
        keepSaveTitle();
    return QFileDialog::eventFilter(watched, event);
}

void TWPackageFileDialog::keepSaveTitle()
{
    QPushButton *button = saveButton();
    if (!button)
        return;
    const QString title = TWLocalized("save");
    const QStringList files = selectedFiles();
    if (button->text() != title && !files.isEmpty() &&
        TWPackageFiles::isPackage(cleanPath(files.constFirst())))
        button->setText(title);
}

QLineEdit *TWPackageFileDialog::nameField() const
{
    return findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

TWPackageFileDialog *TWPackageFileDialog::ask(Purpose purpose, QWidget *parent,
                                              const QString &title, const QString &proposed,
                                              const QStringList &nameFilters, Done done)
{
    auto *dialog = new TWPackageFileDialog(purpose, title, proposed, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (parent)
        dialog->setWindowModality(Qt::WindowModal);
    if (!nameFilters.isEmpty())
        dialog->setNameFilters(nameFilters);
    if (purpose != Purpose::Save && purpose != Purpose::SaveFile)
        dialog->setLabelText(QFileDialog::Accept, TWLocalized("select"));
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done] {
        if (done)
            done(dialog->chosenPaths());
    });
    dialog->open();
    return dialog;
}

TWPackageChoice TWPackageFileDialog::choiceFor(const QString &path) const
{
    switch (m_purpose) {
    case Purpose::Save:
        return twSaveChoice(path);
    case Purpose::Open:
        return twOpenChoice(path);
    case Purpose::SaveFile: {
        // A plain folder typed is entered, before any extension is added.
        const TWPackageChoice typed = twSaveFileChoice(path);
        if (typed.step == TWPackageChoice::Enter || typed.step == TWPackageChoice::Refuse)
            return typed;
        QString target = path;
        if (m_target)
            target = m_target(path);
        else if (!defaultSuffix().isEmpty() && QFileInfo(path).suffix().isEmpty())
            target = path + QLatin1Char('.') + defaultSuffix();
        return twSaveFileChoice(target);
    }
    case Purpose::OpenFile:
    case Purpose::OpenFiles:
        return twOpenFileChoice(path);
    case Purpose::OpenFolder:
        return twOpenFileChoice(path, true);
    }
    return {};
}

void TWPackageFileDialog::accept()
{
    QStringList files = selectedFiles();
    // Qt adds the default suffix to a folder's name too: a folder typed is
    // that folder.
    const QString dotted = QLatin1Char('.') + defaultSuffix();
    for (QString &file : files)
        if (!defaultSuffix().isEmpty() && file.endsWith(dotted) &&
            QFileInfo(file.chopped(dotted.size())).isDir())
            file.chop(dotted.size());
    if (files.isEmpty())
        return;
    if (m_purpose != Purpose::OpenFiles || files.size() == 1) {
        decide(choiceFor(files.constFirst()));
        return;
    }
    // Several files: all of them, or none when one is refused.
    QStringList chosen;
    for (const QString &file : files) {
        const TWPackageChoice choice = choiceFor(file);
        if (choice.step == TWPackageChoice::Refuse) {
            refuse(choice);
            return;
        }
        if (choice.step != TWPackageChoice::Choose)
            return;
        chosen.append(choice.path);
    }
    take(chosen);
}

void TWPackageFileDialog::decide(const TWPackageChoice &choice)
{
    switch (choice.step) {
    case TWPackageChoice::Choose:
        take({choice.path});
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

void TWPackageFileDialog::take(const QStringList &paths)
{
    m_chosenAll = paths;
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
        TWLocalized(savesBusiness() ? "replacePackageInformative" : "replaceFileInformative")
            .arg(QDir::toNativeSeparators(info.path())));
    QPushButton *replace = box->addButton(TWLocalized("replacePackage"), QMessageBox::AcceptRole);
    QPushButton *cancel = box->addButton(TWLocalized("cancel"), QMessageBox::RejectRole);
    // Keeping the business that is there is the safe answer to a stray Return.
    box->setDefaultButton(cancel);
    box->setWindowModality(Qt::WindowModal);
    connect(box, &QMessageBox::finished, this, [this, box, replace, path] {
        if (box->clickedButton() == replace)
            take({path});
    });
    box->open();
}

void TWPackageFileDialog::refuse(const TWPackageChoice &choice)
{
    const QString text = savesBusiness() ? TWLocalized("packageNestedDescription")
                                               .arg(QDir::toNativeSeparators(choice.path),
                                                    QDir::toNativeSeparators(choice.package))
                                         : twFileRefusalMessage(choice);
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
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
    if (m_purpose != Purpose::Save && m_purpose != Purpose::Open)
        return; // shown as the document it is; the name typed stays
    selectFile(package);
    if (QLineEdit *field = nameField())
        field->setText(name);
    if (!chosen)
        return;
    if (m_purpose == Purpose::Open)
        take({package});
    else
        askReplace(package);
}
