#include "CrashTestSupport.h"

#include "crashreporting/capture/MSHContext.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <elf.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

QString twCrashTestReportDirectory()
{
    static QString directory = [] {
        // Kept for the life of the process: the context's paths point into it.
        auto *temporary = new QTemporaryDir;
        const QString path = temporary->path() + QStringLiteral("/report");
        QDir().mkpath(path);
        static const QByteArray report = path.toUtf8();
        MSHContextInitData data;
        data.apiKey = "test-api-key";
        data.sessionID = "test-session";
        data.installID = "test-install";
        data.reportPath = report.constData();
        data.customExceptionsEnabled = true;
        data.maxCustomExceptions = 2;
        MSHContextInitialize(&data);
        for (int i = 0; i < 500 && !MSHContextIsInitialized(); ++i)
            ::usleep(10000);
        return path;
    }();
    return directory;
}

QList<QByteArray> twCrashTestLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QList<QPair<QString, QJsonValue>> twCrashTestSections(const QString &path)
{
    QList<QPair<QString, QJsonValue>> sections;
    for (const QByteArray &line : twCrashTestLines(path)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.constData();
        EXPECT_TRUE(document.isObject()) << line.constData();
        const QJsonObject object = document.object();
        EXPECT_EQ(object.size(), 1) << line.constData();
        if (object.size() == 1)
            sections.append({object.begin().key(), object.begin().value()});
    }
    return sections;
}

QString twCrashTestBuildID(const QString &elfPath)
{
    QFile file(elfPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    if (data.size() < qsizetype(sizeof(Elf64_Ehdr)))
        return {};
    const auto *header = reinterpret_cast<const Elf64_Ehdr *>(data.constData());
    for (int i = 0; i < header->e_phnum; ++i) {
        const qsizetype at = qsizetype(header->e_phoff) + i * qsizetype(sizeof(Elf64_Phdr));
        if (at + qsizetype(sizeof(Elf64_Phdr)) > data.size())
            break;
        const auto *program = reinterpret_cast<const Elf64_Phdr *>(data.constData() + at);
        if (program->p_type != PT_NOTE)
            continue;
        qsizetype position = qsizetype(program->p_offset);
        const qsizetype end = position + qsizetype(program->p_filesz);
        while (position + qsizetype(sizeof(Elf64_Nhdr)) <= end && end <= data.size()) {
            const auto *note = reinterpret_cast<const Elf64_Nhdr *>(data.constData() + position);
            const qsizetype name = position + qsizetype(sizeof(Elf64_Nhdr));
            const qsizetype desc = name + ((note->n_namesz + 3) & ~3u);
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 &&
                data.mid(name, 4) == QByteArray("GNU", 4))
                return QString::fromLatin1(data.mid(desc, note->n_descsz).toHex());
            position = desc + ((note->n_descsz + 3) & ~3u);
        }
    }
    return {};
}

QByteArray twCrashTestHex(const QByteArray &text)
{
    return text.toHex();
}

TWCrashTestUnprivileged::TWCrashTestUnprivileged()
{
    if (::geteuid() == 0)
        m_previous = ::setfsuid(65534);
}

TWCrashTestUnprivileged::~TWCrashTestUnprivileged()
{
    if (m_previous >= 0)
        ::setfsuid(uid_t(m_previous));
}

void twCrashTestGiveAway(const QString &path)
{
    twCrashTestGiveTo(path, 65534);
}

void twCrashTestGiveTo(const QString &path, unsigned user)
{
    ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), user, user), 0) << qPrintable(path);
    QDirIterator entries(path,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        ::lchown(QFile::encodeName(entries.next()).constData(), user, user);
}

QByteArray twCrashTestGzip(const QByteArray &bytes)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray output(int(deflateBound(&stream, uLong(bytes.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(output.data());
    stream.avail_out = uInt(output.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    output.truncate(int(stream.total_out));
    deflateEnd(&stream);
    return done ? output : QByteArray();
}

void twCrashTestChmod(const QString &path, unsigned mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0) << qPrintable(path);
}

QByteArray twCrashTestGunzip(const QByteArray &compressed)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray output;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    char chunk[16384];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(chunk);
        stream.avail_out = sizeof(chunk);
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            break;
        output.append(chunk, qsizetype(sizeof(chunk) - stream.avail_out));
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END ? output : QByteArray();
}

void twCrashTestWriteFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(path);
    ASSERT_EQ(file.write(contents), contents.size());
}

QByteArray twCrashTestReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
