// Frames of an earlier process named from the image files on disk: the test library's two
// adjacent functions, recorded as loaded at an address where nothing is loaded here.

#include "CrashTestSupport.h"
#include "crashreporting/reports/MSHSymbolResolver.h"

#include <QJsonDocument>
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
