// Layout packages that are not what they claim: files that are no regular
// files, absurd numbers and colours, damaged zips, and names taken by the
// built-in layouts. Each refusal must come quickly and say what is wrong.

#include "TWLayoutTestSupport.h"

#include "foundation/TWLocalized.h"
#include "model/TWLayoutManager.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

QString text(const TWErrorResult &error)
{
    return error ? error->localizedDescription() : QString();
}

// Runs `work` on a thread; should it still wait after five seconds on the
// pipe at `fifo`, a writer opens and closes the pipe to free it, and the
// call counts as blocked.
template <typename Work> bool finishesWithoutBlocking(const QString &fifo, Work work)
{
    QThread *thread = QThread::create(work);
    thread->start();
    const bool finished = thread->wait(5000);
    if (!finished) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        thread->wait();
    }
    delete thread;
    return finished;
}

// The user's layouts folder points into a temporary folder for the test.
class LayoutSafetyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        QStandardPaths::setTestModeEnabled(false);
        QDir().mkpath(TWLayoutManager::userLayoutsFolder());
    }
    void TearDown() override
    {
        QStandardPaths::setTestModeEnabled(true);
        qputenv("XDG_DATA_HOME", m_previous);
    }
    QString user(const QString &name) const { return TWLayoutManager::userLayoutsFolder() + name; }

    TWTestTempDir m_data;
    TWTestTempDir m_dir;
    QByteArray m_previous;
};

// A valid package's bytes with `from` replaced by `to` wherever it occurs.
QByteArray patched(const TWTestTempDir &dir, const TWPackageMembers &members,
                   const QByteArray &from, const QByteArray &to)
{
    QFile file(twWritePackage(dir, QStringLiteral("Patched.twlayout"), members));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    if (!from.isEmpty())
        bytes.replace(from, to);
    return bytes;
}

QString writeFile(const TWTestTempDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

} // namespace

TEST_F(LayoutSafetyTest, PipesAndDevicesAreNeverReadOrCopied)
{
    const QString fifo = user(QStringLiteral("Pipe.twlayout"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(fifo).constData(),
                        QFile::encodeName(user(QStringLiteral("PipeLink.twlayout"))).constData()),
              0);
    ASSERT_EQ(::symlink("/dev/zero",
                        QFile::encodeName(user(QStringLiteral("Zero.twlayout"))).constData()),
              0);
    const QString good = twWritePackage(m_dir, QStringLiteral("Good.twlayout"),
                                        {{QStringLiteral("layout.xml"), twLayoutXML({}, {})}});
    ASSERT_TRUE(QFile::link(good, user(QStringLiteral("GoodLink.twlayout"))));

    // Listing: only regular files (a link to one included) are layouts.
    TWLayoutManager manager;
    manager.update();
    EXPECT_TRUE(manager.layoutWithName(QStringLiteral("GoodLink")));
    EXPECT_FALSE(manager.layoutWithName(QStringLiteral("Pipe")));
    EXPECT_FALSE(manager.layoutWithName(QStringLiteral("PipeLink")));
    EXPECT_FALSE(manager.layoutWithName(QStringLiteral("Zero")));

    // Loading a pipe, directly or through a link, refuses at once.
    for (const QString &name :
         {QStringLiteral("Pipe.twlayout"), QStringLiteral("PipeLink.twlayout")}) {
        TWErrorResult error;
        EXPECT_TRUE(finishesWithoutBlocking(fifo, [&] {
            error = TWLayout::layoutWithPath(user(name), 0, TWLayoutKindUser)->validate();
        })) << name;
        EXPECT_EQ(text(error),
                  TWLocalized("layoutNotRegularFile") + QStringLiteral(": ") + user(name));
    }
    EXPECT_TRUE(text(TWLayout::layoutWithPath(user(QStringLiteral("Zero.twlayout")), 0, 1)->load())
                    .startsWith(TWLocalized("layoutNotRegularFile")));

    // Adding a pipe or an endless device copies nothing and leaves no file.
    const QStringList before =
        QDir(TWLayoutManager::userLayoutsFolder())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    const qsizetype listed = manager.layouts().size();
    TWErrorResult added;
    EXPECT_TRUE(finishesWithoutBlocking(fifo, [&] {
        added = manager.addLayout(TWLayout::layoutWithPath(fifo, 0, TWLayoutKindUser));
    }));
    EXPECT_TRUE(text(added).startsWith(TWLocalized("layoutNotRegularFile")));
    added = manager.addLayout(TWLayout::layoutWithPath(QStringLiteral("/dev/zero"), 0, 1));
    EXPECT_TRUE(text(added).startsWith(TWLocalized("layoutNotRegularFile")));
    EXPECT_EQ(manager.layouts().size(), listed);
    EXPECT_EQ(QDir(TWLayoutManager::userLayoutsFolder())
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
              before);
}

TEST_F(LayoutSafetyTest, AbsurdNumbersAndColoursNameTheirElement)
{
    const auto load = [this](const QString &pageAttributes, const QString &children,
                             const TWPackageMembers &more = {}) {
        return text(twLoadXML(m_dir, twLayoutXML(pageAttributes, children), nullptr, more));
    };
    const auto outOfRange = [](const char *value, const char *attribute, const char *element,
                               const char *minimum, const char *maximum) {
        return TWLocalized("layoutValueOutOfRange")
            .arg(QLatin1String(value), QLatin1String(attribute), QLatin1String(element),
                 QLatin1String(minimum), QLatin1String(maximum));
    };
    // The largest sane values are taken.
    EXPECT_EQ(load(QStringLiteral(R"(textSize="200" strokeStyle="solid" strokeWidth="20")"), {}),
              QString());
    EXPECT_EQ(load({}, QStringLiteral(R"(<header textSize="1"/>)")), QString());

    EXPECT_EQ(load(QStringLiteral(R"(strokeStyle="solid" strokeWidth="300")"), {}),
              outOfRange("300", "strokeWidth", "page", "0", "20"));
    EXPECT_EQ(load(QStringLiteral(R"(textSize="2000")"), {}),
              outOfRange("2000", "textSize", "page", "1", "200"));
    // A size of 0 is a bad size, not a missing font.
    EXPECT_EQ(load({}, QStringLiteral(R"(<header textSize="0"/>)")),
              outOfRange("0", "textSize", "header", "1", "200"));
    EXPECT_EQ(load({}, QStringLiteral(R"(<footer textSize="1e38"/>)")),
              outOfRange("1e38", "textSize", "footer", "1", "200"));
    EXPECT_EQ(load({}, QStringLiteral(R"(<overlays><paid strokeWidth="-1"/></overlays>)")),
              outOfRange("-1", "strokeWidth", "overlays/paid", "0", "20"));

    // Numbers of nested parts name their parent too.
    TWTestComponents components;
    components.client =
        QStringLiteral(R"(<client column="left" row="1"><name textSize="1e30"/></client>)");
    EXPECT_EQ(text(twLoadXML(m_dir, twLayoutXML({}, {}, &components))),
              outOfRange("1e30", "textSize", "client/name", "1", "200"));

    // A colour is checked for its form only: a pair reads as far as its
    // hexadecimal digits go. The form itself is still refused by name.
    TWLayoutPtr coloured;
    EXPECT_OK(twLoadXML(m_dir, twLayoutXML({}, QStringLiteral(R"(<header textColor="#GG8HI0"/>)")),
                        &coloured));
    ASSERT_TRUE(coloured);
    EXPECT_EQ(coloured->settings()
                  .value(QStringLiteral("header"))
                  .toMap()
                  .value(QStringLiteral("textColour"))
                  .value<QColor>(),
              QColor::fromRgbF(0, 8 / 255.0f, 0));
    const QString colour = load({}, QStringLiteral(R"(<header textColor="#GGHHI"/>)"));
    EXPECT_TRUE(colour.startsWith(TWLocalized("invalidColorFormat"))) << colour;
    EXPECT_TRUE(colour.contains(QStringLiteral("#GGHHI")));
    EXPECT_TRUE(colour.contains(QStringLiteral("“header”"))) << colour;

    // Image places and sizes within a few pages, pixels within the cap.
    QImage thin(1, 100000, QImage::Format_RGB32);
    thin.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(thin.save(&buffer, "PNG"));
    EXPECT_EQ(load({}, QStringLiteral(R"(<images><image x="0" y="0" path="thin.png"/></images>)"),
                   {{QStringLiteral("thin.png"), png}}),
              TWLocalized("imageTooLarge") + QStringLiteral(": thin.png"));
    QImage dot(2, 2, QImage::Format_RGB32);
    dot.fill(Qt::blue);
    QByteArray small;
    QBuffer smallBuffer(&small);
    smallBuffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(dot.save(&smallBuffer, "PNG"));
    EXPECT_EQ(load({}, QStringLiteral(R"(<images><image x="1e30" y="0" path="dot.png"/></images>)"),
                   {{QStringLiteral("dot.png"), small}}),
              outOfRange("1e30", "x", "images/image", "-3024", "3024"));
    EXPECT_EQ(
        load(
            {},
            QStringLiteral(
                R"(<images><image x="0" y="0" width="100000" height="5" path="dot.png"/></images>)"),
            {{QStringLiteral("dot.png"), small}}),
        outOfRange("100000", "width", "images/image", "0", "3024"));
}

TEST_F(LayoutSafetyTest, EachRefusalSaysItsOwnCause)
{
    const TWPackageMembers members{{QStringLiteral("layout.xml"), twLayoutXML({}, {})},
                                   {QStringLiteral("xx/evil.png"), QByteArray(300, 'p')}};
    const auto loadBytes = [this](const QString &name, const QByteArray &bytes) {
        return TWLayout::layoutWithPath(writeFile(m_dir, name, bytes), 0, 1)->load();
    };

    // Members whose bytes no longer match their checksums.
    QByteArray badSums = patched(m_dir, members, {}, {});
    for (const QByteArray &signature : {QByteArray("PK\x03\x04", 4), QByteArray("PK\x01\x02", 4)}) {
        const qsizetype crcOffset = signature.at(2) == 3 ? 14 : 16;
        for (qsizetype at = badSums.indexOf(signature); at >= 0;
             at = badSums.indexOf(signature, at + 4))
            badSums[at + crcOffset] = char(badSums.at(at + crcOffset) ^ 0x5A);
    }
    TWErrorResult error = loadBytes(QStringLiteral("Crc.twlayout"), badSums);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWZipErrorDamaged);

    // A member that climbs out of its folder.
    error =
        loadBytes(QStringLiteral("Climb.twlayout"), patched(m_dir, members, "xx/evil", "../evil"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWZipErrorUnsafeName);

    // An encrypted member: the flag set in the local and central headers.
    QByteArray encrypted = patched(m_dir, members, {}, {});
    for (const QByteArray &signature : {QByteArray("PK\x03\x04", 4), QByteArray("PK\x01\x02", 4)}) {
        const qsizetype flagOffset = signature.at(2) == 3 ? 6 : 8;
        for (qsizetype at = encrypted.indexOf(signature); at >= 0;
             at = encrypted.indexOf(signature, at + 4))
            encrypted[at + flagOffset] = char(encrypted.at(at + flagOffset) | 1);
    }
    error = loadBytes(QStringLiteral("Locked.twlayout"), encrypted);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), TWZipErrorEncrypted);

    // Not a zip, and a folder.
    EXPECT_EQ(text(loadBytes(QStringLiteral("Text.twlayout"), "plain words")),
              TWLocalized("missingLayoutFile"));
    const QString folder = m_dir.filePath(QStringLiteral("Folder.twlayout"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(text(TWLayout::layoutWithPath(folder, 0, 1)->load()),
              TWLocalized("layoutIsFolder") + QStringLiteral(": ") + folder);

    // Only a sound zip without the description is missing its "layout.xml".
    EXPECT_EQ(text(TWLayout::layoutWithPath(twWritePackage(m_dir, QStringLiteral("Empty.twlayout"),
                                                           {{QStringLiteral("a.txt"), "a"}}),
                                            0, 1)
                       ->load()),
              TWLocalized("missingLayoutFile"));
}

TEST_F(LayoutSafetyTest, AnAddedLayoutIsListedAtOnceUnderAFreeName)
{
    TWLayoutManager manager;
    manager.update();
    ASSERT_TRUE(manager.layoutWithName(QStringLiteral("Classic")));
    const QString picked = twWritePackage(m_dir, QStringLiteral("Classic.twlayout"),
                                          {{QStringLiteral("layout.xml"), twLayoutXML({}, {})}});
    // Added twice in a row, with no rescan between.
    TWLayoutPtr first = TWLayout::layoutWithPath(picked, 0, TWLayoutKindUser);
    ASSERT_OK(manager.addLayout(first));
    EXPECT_EQ(first->name(), QStringLiteral("Classic-1"));
    EXPECT_EQ(manager.layoutWithName(QStringLiteral("Classic-1")), first);
    TWLayoutPtr second = TWLayout::layoutWithPath(picked, 0, TWLayoutKindUser);
    EXPECT_OK(manager.addLayout(second));
    EXPECT_EQ(second->name(), QStringLiteral("Classic-2"));
    // The built-in one keeps its name and stays the default.
    EXPECT_EQ(manager.defaultLayout()->kind(), TWLayoutKindBuiltIn);

    // A rescan agrees with what was listed.
    QStringList listed;
    for (const TWLayoutPtr &layout : manager.layouts())
        listed.append(layout->name());
    manager.update();
    QStringList rescanned;
    for (const TWLayoutPtr &layout : manager.layouts())
        rescanned.append(layout->name());
    EXPECT_EQ(listed, rescanned);
}
