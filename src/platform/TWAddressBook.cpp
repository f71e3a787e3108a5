#include "platform/TWAddressBook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString TWPerson::value(TWPersonProperty property) const
{
    switch (property) {
    case TWPersonProperty::Organization:
        return organization;
    case TWPersonProperty::FirstName:
        return firstName;
    case TWPersonProperty::LastName:
        return lastName;
    case TWPersonProperty::Note:
        return note;
    default:
        return {};
    }
}

QList<TWPersonLabeledValue> TWPerson::multiValue(TWPersonProperty property) const
{
    switch (property) {
    case TWPersonProperty::Phone:
        return phones;
    case TWPersonProperty::Email:
        return emails;
    case TWPersonProperty::URLs:
        return urls;
    default:
        return {};
    }
}

QString TWAddressBook::contactsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/contacts");
}

TWAddressBook::FileResult TWAddressBook::readFile(const QString &path, qint64 maximumSize)
{
    maximumSize = std::min(maximumSize, maximumFileSize);
    FileResult result;
    // Never through a link, and never waiting on a pipe or a device.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno == ELOOP ? FileError::NotRegularFile : FileError::Unreadable;
        result.reason = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    struct stat info {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.error = FileError::NotRegularFile;
        return result;
    }
    if (info.st_size > maximumSize) {
        ::close(fd);
        result.error = FileError::TooLarge;
        return result;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.error = FileError::Unreadable;
        result.reason = file.errorString();
        return result;
    }
    // The file may have grown since it was measured.
    const QByteArray data = file.read(maximumSize + 1);
    if (data.size() > maximumSize) {
        result.error = FileError::TooLarge;
        return result;
    }
    result.bytesRead = data.size();
    result.people = TWVCardParser::parse(data);
    if (result.people.isEmpty())
        result.error = FileError::NoContacts;
    return result;
}

TWAddressBook::FolderResult TWAddressBook::readFolder(const QString &folder)
{
    FolderResult result;
    QDir dir(folder);
    if (!dir.exists())
        return result;
    // Links are listed too, so that they are named among the files left out.
    const QStringList names =
        dir.entryList({QStringLiteral("*.vcf")}, QDir::Files | QDir::System | QDir::Hidden,
                      QDir::Name | QDir::IgnoreCase);
    int read = 0;
    qint64 bytes = 0;
    for (const QString &name : names) {
        if (name.startsWith(u'.'))
            continue;
        if (++read > maximumFolderFiles || bytes >= maximumFolderBytes ||
            result.people.size() >= maximumFolderPeople) {
            ++result.filesBeyondLimit;
            continue;
        }
        const QString path = dir.filePath(name);
        FileResult file = readFile(path, maximumFolderBytes - bytes);
        if (file.error == FileError::TooLarge && QFileInfo(path).size() <= maximumFileSize) {
            // Within the bound of one file, past what is left of the reading.
            ++result.filesBeyondLimit;
            bytes = maximumFolderBytes;
            continue;
        }
        if (file.error != FileError::None && file.error != FileError::NoContacts)
            result.skippedFiles.append(name);
        bytes += file.bytesRead;
        const qsizetype room = maximumFolderPeople - result.people.size();
        result.people.append(file.people.mid(0, room));
    }
    return result;
}
