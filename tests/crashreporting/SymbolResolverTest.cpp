// Frames of an earlier process named from the image files on disk: the test library's two
// adjacent functions, recorded as loaded at an address where nothing is loaded here.

#include "CrashTestSupport.h"
#include "crashreporting/reports/MSHSymbolResolver.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace
{

constexpr uint64_t recordedBase = 0x7a0000000000;

class SymbolResolver : public ::testing::Test
{
protected:
    QTemporaryDir temporary;
    uint64_t first = 0; // the functions' addresses in the recorded process
    uint64_t second = 0;

    void SetUp() override
    {
        void *library = ::dlopen(TW_CRASH_TEST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr);
        void *firstHere = ::dlsym(library, "twCrashTestLibraryFirst");
        void *secondHere = ::dlsym(library, "twCrashTestLibrarySecond");
        ASSERT_NE(firstHere, nullptr);
        ASSERT_NE(secondHere, nullptr);
        Dl_info info{};
        ASSERT_NE(::dladdr(firstHere, &info), 0);
        const auto loadedAt = reinterpret_cast<uintptr_t>(info.dli_fbase);
        first = recordedBase + (reinterpret_cast<uintptr_t>(firstHere) - loadedAt);
        second = recordedBase + (reinterpret_cast<uintptr_t>(secondHere) - loadedAt);
        ::dlclose(library);
    }

    QString imagesFile(const QString &uuid)
    {
        const QJsonObject load{{"path", QStringLiteral(TW_CRASH_TEST_LIBRARY)},
                               {"uuid", uuid},
                               {"base", qint64(recordedBase)},
                               {"size", 0x10000}};
        const QString path = temporary.filePath(QStringLiteral("binary_images.mshrecord"));
        twCrashTestWriteFile(
            path, QJsonDocument(QJsonObject{{"load", load}}).toJson(QJsonDocument::Compact) + '\n');
        return path;
    }

    static MSHStackFrame frame(uint64_t address, bool returnAddress)
    {
        MSHStackFrame frame = MSHStackFrame::stackFrameWithAddress(address);
        frame.returnAddress = returnAddress;
        return frame;
    }
};

} // namespace

TEST_F(SymbolResolver, AThreadsOwnAddressIsNamedAsItStandsAndAReturnAddressByItsCall)
{
    MSHSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(
        imagesFile(twCrashTestBuildID(QStringLiteral(TW_CRASH_TEST_LIBRARY)))));

    // A fault at the first instruction of a function is in that function.
    MSHStackFrame crashed = frame(second, false);
    ASSERT_TRUE(resolver.updateStackFrame(crashed));
    EXPECT_EQ(crashed.symbol, QStringLiteral("twCrashTestLibrarySecond"));
    EXPECT_EQ(crashed.offset, 0u);
    EXPECT_EQ(crashed.library, QStringLiteral("libtw_crash_test_library.so"));

    // A call that ends the function before returns to the next function's first byte.
    MSHStackFrame caller = frame(second, true);
    ASSERT_TRUE(resolver.updateStackFrame(caller));
    EXPECT_EQ(caller.symbol, QStringLiteral("twCrashTestLibraryFirst"));
    EXPECT_EQ(caller.offset, second - first);

    MSHStackFrame inside = frame(first + 3, true);
    ASSERT_TRUE(resolver.updateStackFrame(inside));
    EXPECT_EQ(inside.symbol, QStringLiteral("twCrashTestLibraryFirst"));
    EXPECT_EQ(inside.offset, 3u);

    // Many frames in one image: its file is read once.
    for (int i = 0; i < 50; ++i) {
        MSHStackFrame more = frame(first + uint64_t(i % 5), i % 2 == 0);
        resolver.updateStackFrame(more);
    }
    EXPECT_EQ(resolver.imageFilesRead(), 1);
}

TEST_F(SymbolResolver, AFileWithAnotherBuildIDNamesNothing)
{
    MSHSymbolResolver resolver;
    ASSERT_TRUE(resolver.loadBinaryImagesFromFile(
        imagesFile(QStringLiteral("00112233445566778899aabbccddeeff00112233"))));
    MSHStackFrame crashed = frame(second, false);
    resolver.updateStackFrame(crashed);
    EXPECT_TRUE(crashed.symbol.isEmpty());
}

namespace
{

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return false;
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

// The linked address of a defined function of the file, from `nm`; 0 when absent.
uint64_t linkedAddressOf(const QString &file, const QByteArray &name)
{
    QByteArray listing;
    if (!run(QStringLiteral("nm"), {QStringLiteral("--defined-only"), file}, &listing))
        return 0;
    for (const QByteArray &line : listing.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() == 3 && fields[2] == name && (fields[1] == "T" || fields[1] == "t"))
            return fields[0].toULongLong(nullptr, 16);
    }
    return 0;
}

} // namespace

TEST_F(SymbolResolver, AStrippedExecutableIsNamedFromTheDebugFileOfItsBuildID)
{
    if (QStandardPaths::findExecutable(QStringLiteral("objcopy")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("nm")).isEmpty())
        GTEST_SKIP() << "binutils are not installed";
    // The helper program exports no symbols: stripped, only a debug file can name its frames.
    const QString program = QStringLiteral(TW_CRASH_HELPER);
    const QString uuid = twCrashTestBuildID(program);
    ASSERT_EQ(uuid.size(), 40);
    const uint64_t linkedMain = linkedAddressOf(program, "main");
    ASSERT_NE(linkedMain, 0u);
    const std::optional<MSHImageSymbolTable> full = MSHImageSymbolTable::load(program, uuid);
    ASSERT_TRUE(full);

    const QString stripped = temporary.filePath(QStringLiteral("tw_crash_helper"));
    ASSERT_TRUE(run(QStringLiteral("objcopy"), {QStringLiteral("--strip-all"), program, stripped}));
    const QString root = temporary.filePath(QStringLiteral("debug"));
    const QString debugFile = MSHImageSymbolTable::debugFilePath(root, uuid);
    EXPECT_EQ(debugFile, root + QStringLiteral("/.build-id/") + uuid.left(2) + QLatin1Char('/') +
                             uuid.mid(2) + QStringLiteral(".debug"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(debugFile).path()));

    struct RootGuard {
        QString saved = MSHImageSymbolTable::debugFileRoot();
        ~RootGuard() { MSHImageSymbolTable::setDebugFileRoot(saved); }
    } guard;
    EXPECT_EQ(guard.saved, QStringLiteral("/usr/lib/debug"));
    MSHImageSymbolTable::setDebugFileRoot(root);

    const QJsonObject load{
        {"path", stripped}, {"uuid", uuid}, {"base", qint64(recordedBase)}, {"size", 0x1000000}};
    const QString images = temporary.filePath(QStringLiteral("stripped_images.mshrecord"));
    twCrashTestWriteFile(
        images, QJsonDocument(QJsonObject{{"load", load}}).toJson(QJsonDocument::Compact) + '\n');
    const uint64_t address = recordedBase + (linkedMain - full->firstSegmentAddress()) + 4;
    const auto nameAt = [&] {
        MSHSymbolResolver resolver;
        EXPECT_TRUE(resolver.loadBinaryImagesFromFile(images));
        MSHStackFrame crashed = frame(address, false);
        resolver.updateStackFrame(crashed);
        return crashed;
    };

    // No debug file: the stripped file alone cannot name the frame.
    EXPECT_TRUE(nameAt().symbol.isEmpty());

    // A debug file of another build under that name is not believed.
    ASSERT_TRUE(run(QStringLiteral("objcopy"), {QStringLiteral("--only-keep-debug"),
                                                QStringLiteral(TW_CRASH_TEST_LIBRARY), debugFile}));
    EXPECT_TRUE(nameAt().symbol.isEmpty());

    // The debug file of this very build names it.
    ASSERT_TRUE(QFile::remove(debugFile));
    ASSERT_TRUE(
        run(QStringLiteral("objcopy"), {QStringLiteral("--only-keep-debug"), program, debugFile}));
    const MSHStackFrame named = nameAt();
    EXPECT_EQ(named.symbol, QStringLiteral("main"));
    EXPECT_EQ(named.offset, 4u);
    EXPECT_EQ(named.library, QStringLiteral("tw_crash_helper"));

    // A build-id that is not hex never becomes a path.
    EXPECT_TRUE(MSHImageSymbolTable::debugFilePath(root, QStringLiteral("../../etc/x")).isEmpty());
}
