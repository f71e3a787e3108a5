// The real device libraries: SANE's own "test" scanner scans pages into photo
// attachments, libgphoto2's directory camera lists and downloads files, and
// with no device at all the sheet shows its empty view at once.

#include "TWCaptureTestSupport.h"
#include "ledger/TWDeviceController.h"
#include "platform/capture/TWCaptureFakes.h"

#include "TWAppTestSupport.h"
#include "TWStoreTestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

namespace
{

bool saneTestBackendInstalled()
{
    // The dll backend loads "libsane-test.so.1" from the "sane" folder of the library directory.
    QStringList folders = {QStringLiteral("/usr/lib/sane"), QStringLiteral("/usr/local/lib/sane")};
    for (const QString &triplet : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs))
        folders.append(QStringLiteral("/usr/lib/%1/sane").arg(triplet));
    return std::any_of(folders.begin(), folders.end(), [](const QString &folder) {
        return QFileInfo::exists(folder + QStringLiteral("/libsane-test.so.1"));
    });
}

TWCaptureDevice firstTestScanner(const QList<TWCaptureDevice> &scanners)
{
    for (const TWCaptureDevice &scanner : scanners)
        if (scanner.identifier.startsWith(QLatin1String("test:")))
            return scanner;
    return {};
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Before any test: SANE reads a folder of ours, naming only its test backend.
class SaneEnvironment final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        qputenv("SANE_CONFIG_DIR", folder().path().toLocal8Bit());
        twSetSaneBackends("test\n");
    }
    static QTemporaryDir &folder()
    {
        static QTemporaryDir dir;
        return dir;
    }
};
[[maybe_unused]] ::testing::Environment *const saneEnvironment =
    ::testing::AddGlobalTestEnvironment(new SaneEnvironment);

// Names the backends while it lives, then only the test backend again.
class SaneBackends
{
public:
    explicit SaneBackends(const QByteArray &backends) { twSetSaneBackends(backends); }
    ~SaneBackends() { twSetSaneBackends("test\n"); }
};

} // namespace

void twSetSaneBackends(const QByteArray &backends)
{
    QFile dll(SaneEnvironment::folder().filePath(QStringLiteral("dll.conf")));
    if (dll.open(QIODevice::WriteOnly | QIODevice::Truncate))
        dll.write(backends);
}

TEST(DeviceCaptureSane, TestScannerOffersItsOptionsAndScansPages)
{
    if (!saneTestBackendInstalled())
        GTEST_SKIP() << "SANE's test backend is not installed";
    TWSaneScannerDevices sane;
    const QList<TWCaptureDevice> scanners = sane.scanners();
    const TWCaptureDevice scanner = firstTestScanner(scanners);
    ASSERT_FALSE(scanner.identifier.isEmpty());
    for (const TWCaptureDevice &device : scanners)
        EXPECT_EQ(device.kind, TWCaptureDevice::Scanner);

    const TWResult<TWScannerOptions> options = sane.options(scanner);
    ASSERT_OK(options);
    EXPECT_TRUE(options.value.modes.contains(QStringLiteral("Color")));
    EXPECT_TRUE(options.value.modes.contains(options.value.mode));
    EXPECT_TRUE(options.value.resolutions.contains(100));
    EXPECT_TRUE(options.value.resolutions.contains(200));

    // The device's defaults: a grey page.
    const TWResult<QImage> simple = sane.scan(scanner, std::nullopt);
    ASSERT_OK(simple);
    ASSERT_FALSE(simple.value.isNull());
    EXPECT_EQ(simple.value.format(), QImage::Format_Grayscale8);

    // Twice the resolution in colour: a colour page twice as wide.
    const TWResult<QImage> low = sane.scan(scanner, TWScanSettings{100, QStringLiteral("Color")});
    const TWResult<QImage> colour =
        sane.scan(scanner, TWScanSettings{200, QStringLiteral("Color")});
    ASSERT_TRUE(low.ok() && colour.ok());
    EXPECT_NEAR(colour.value.width(), low.value.width() * 2, 2);
    EXPECT_EQ(colour.value.format(), QImage::Format_RGB32);

    const TWResult<QImage> refused =
        sane.scan(scanner, TWScanSettings{0, QStringLiteral("No Such Mode")});
    EXPECT_FALSE(refused.ok());

    const TWResult<QImage> missing = sane.scan(
        TWCaptureDevice{QStringLiteral("test:99"), {}, {}, TWCaptureDevice::Scanner}, std::nullopt);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error->domain(), QStringLiteral("Tallyworth Capture Error"));
}

class DeviceCaptureSheet : public TWAppTest
{
};

TEST_F(DeviceCaptureSheet, ScansFromTheTestScannerBecomePhotosWithNewNames)
{
    if (!saneTestBackendInstalled())
        GTEST_SKIP() << "SANE's test backend is not installed";
    std::unique_ptr<TWBusiness> business = twMakeBusinessWithUnits();
    TWTransactionDeviceDelegate delegate(*business);
    auto document = newDocument();
    TWDeviceController controller(std::make_unique<TWFakeCameraDevices>(),
                                  std::make_unique<TWSaneScannerDevices>());
    controller.setBusinessController(document.get());
    controller.setDelegate(&delegate);
    controller.beginSheet({});
    int row = -1;
    for (int i = 0; i < controller.devices().size(); ++i)
        if (controller.devices()[i].identifier.startsWith(QLatin1String("test:")))
            row = i;
    ASSERT_GE(row, 0);
    controller.selectDevice(row);
    EXPECT_EQ(controller.shownView(), 2);
    EXPECT_GT(controller.modeBox()->count(), 1);

    controller.scanInBackground();
    // The controls wait while the page comes.
    EXPECT_TRUE(controller.isBusy());
    EXPECT_FALSE(controller.doneButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isBusy(); }, 10000));
    controller.setAdvancedMode(true);
    controller.modeBox()->setCurrentText(QStringLiteral("Color"));
    controller.scan();
    EXPECT_TRUE(prompts.errors.isEmpty());
    ASSERT_EQ(delegate.added.size(), 2);
    const QString photo = TWLocalized("photo");
    EXPECT_EQ(delegate.added[0].name, photo + QStringLiteral(".png"));
    EXPECT_EQ(delegate.added[1].name, photo + QStringLiteral("-2.png"));
    const auto &attachments = delegate.transaction->attachments();
    ASSERT_TRUE(attachments);
    ASSERT_EQ(attachments->size(), 2);
    for (const auto &attachment : *attachments) {
        EXPECT_EQ(attachment->type(), 1u);
        EXPECT_GT(attachment->photoWidth(), 0u);
        EXPECT_EQ(QImageReader(attachment->filePath()).format(), "png");
    }
    EXPECT_TRUE(delegate.transaction->hasAttachments());
    controller.doImageCaptureDone();
}

TEST(DeviceCaptureGPhoto, DirectoryCameraListsAndDownloadsFilesUnderTheirNames)
{
    TWTestTempDir card;
    ASSERT_TRUE(QDir(card.path()).mkpath(QStringLiteral("DCIM/100TEST")));
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(card.filePath(QStringLiteral("DCIM/100TEST/IMG_0001.jpg")), "JPEG"));
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(card.filePath(QStringLiteral("DCIM/100TEST/IMG_0002.jpg")), "JPEG"));

    const TWCaptureDevice camera = TWGPhotoCameraDevices::directoryCamera(card.path());
    if (camera.identifier.isEmpty())
        GTEST_SKIP() << "the installed libgphoto2 has no directory camera";
    TWGPhotoCameraDevices devices;
    devices.addCamera(camera);
    EXPECT_TRUE(devices.cameras().contains(camera));

    const TWResult<QList<TWCameraFile>> files = devices.files(camera);
    ASSERT_OK(files);
    QStringList names;
    for (const TWCameraFile &file : files.value)
        names.append(file.name);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("IMG_0001.jpg"), QStringLiteral("IMG_0002.jpg")}));

    TWTestTempDir target;
    // A file of that name is already there: the download does not overwrite it.
    QFile existing(target.filePath(QStringLiteral("IMG_0002.jpg")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep");
    existing.close();
    for (const TWCameraFile &file : files.value) {
        const TWResult<QString> path = devices.download(camera, file, target.path());
        ASSERT_OK(path);
        EXPECT_EQ(QFileInfo(path.value).dir().absolutePath(), QDir(target.path()).absolutePath());
        EXPECT_EQ(QFileInfo(path.value).fileName(), file.name == QLatin1String("IMG_0002.jpg")
                                                        ? QStringLiteral("IMG_0002-2.jpg")
                                                        : file.name);
        EXPECT_FALSE(QImage(path.value).isNull());
    }
    EXPECT_EQ(fileBytes(target.filePath(QStringLiteral("IMG_0002.jpg"))), QByteArray("keep"));

    const TWResult<QString> gone = devices.download(
        camera, TWCameraFile{QStringLiteral("/DCIM"), QStringLiteral("none.jpg"), -1},
        target.path());
    EXPECT_FALSE(gone.ok());
}
