#include "import/ui/TWImportFile.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "app/TWPackageFileDialog.h"

#include "foundation/TWLocalized.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Bank and spreadsheet files are small; anything larger is not one.
constexpr qint64 kMaximumFileSize = 256LL * 1024 * 1024;
const QString kDomain = QStringLiteral("Tallyworth Import Error");

TWImportChoosePath &choosePath()
{
    static TWImportChoosePath choose;
    return choose;
}

void panelPath(QWidget *parent, bool folder, std::function<void(const QString &)> done,
               const char *filterKey)
{
    TWPackageFileDialog::ask(
        folder ? TWPackageFileDialog::Purpose::OpenFolder : TWPackageFileDialog::Purpose::OpenFile,
        parent, TWLocalized(folder ? "selectAttachmentFolder" : "selectImportFile"), QString(),
        folder ? QStringList() : QStringList{TWLocalized(filterKey)},
        [done](const QStringList &files) { done(files.value(0)); });
}

} // namespace

void twChooseImportPath(QWidget *parent, bool folder, std::function<void(const QString &)> done,
                        const char *filterKey)
{
    if (choosePath())
        choosePath()(parent, folder, std::move(done));
    else
        panelPath(parent, folder, std::move(done), filterKey);
}

// The file's bytes, read only from a regular file (never a link, a pipe or a
// device) of a bank file's size.
std::optional<QByteArray> twReadImportFile(const QString &path, TWErrorResult *error)
{
    const auto failure = [&](const QString &reason) {
        *error = TWError(kDomain, -1,
                         TWLocalized("importFileNotRead").arg(QFileInfo(path).fileName(), reason));
        return std::nullopt;
    };
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return failure(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return failure(TWLocalized("importNotRegularFile"));
    }
    if (info.st_size > kMaximumFileSize) {
        ::close(fd);
        return failure(TWLocalized("importFileTooLarge"));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failure(file.errorString());
    }
    QByteArray data = file.read(kMaximumFileSize + 1);
    if (data.size() > kMaximumFileSize)
        return failure(TWLocalized("importFileTooLarge"));
    return data;
}

void twSetImportChoosePath(TWImportChoosePath choose)
{
    choosePath() = std::move(choose);
}

void twAskImportWarnings(const QStringList &notes, const QString &warnings, bool processed,
                         QWidget *window, std::function<void(bool goOn)> done)
{
    QStringList texts = notes;
    if (!warnings.isEmpty())
        texts.append(warnings);
    if (processed && texts.isEmpty()) {
        done(true);
        return;
    }
    twRunAlert(TWAlert{TWLocalized("parseWarnings"),
                       texts.join(QLatin1Char('\n')),
                       {TWLocalized("continue"), TWLocalized("cancel")},
                       window},
               [done](int code) { done(code == 1000); });
}

void twBeginImportSelection(TWBusinessController *document, QWidget *view)
{
    if (!document)
        return;
    QPointer<TWBusinessController> guard(document);
    document->setImporting(true);
    document->beginSheetWithView(view, true, true, [guard](int) {
        if (guard)
            guard->setImporting(false);
    });
}
