// The camera and scanner sheet over fake devices: which view a choice shows,
// what reaches the delegate, and which errors end the sheet.

#include "TWCaptureTestSupport.h"
#include "ledger/TWDeviceController.h"
#include "platform/capture/TWCaptureFakes.h"

#include "TWAppTestSupport.h"
#include "TWStoreTestSupport.h"

#include <QBuffer>
#include <QComboBox>
#include <QFileInfo>
#include <QListWidget>

namespace
{

const QString kCamera = QStringLiteral("Camera A\nusb:001,002");
const QString kScanner = QStringLiteral("net:office:scanner");

class DeviceCaptureController : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        business = twMakeBusinessWithUnits();
        delegate = std::make_unique<TWTransactionDeviceDelegate>(*business);
        document = newDocument();
        auto cameraDevices = std::make_unique<TWFakeCameraDevices>();
        auto scannerDevices = std::make_unique<TWFakeScannerDevices>();
        cameras = cameraDevices.get();
        scanners = scannerDevices.get();
        cameras->devices = {{kCamera, QStringLiteral("Camera A"), QStringLiteral("usb:001,002"),
                             TWCaptureDevice::Camera}};
        cameras->files_[kCamera] = {{QStringLiteral("/DCIM/100"), QStringLiteral("IMG_1.jpg"), 10},
                                    {QStringLiteral("/DCIM/100"), QStringLiteral("clip.mov"), 10},
                                    {QStringLiteral("/DCIM/101"), QStringLiteral("IMG_2.jpg"), 10}};
        QImage picture(4, 3, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "JPEG");
        cameras->contents[QStringLiteral("IMG_1.jpg")] = jpeg;
        cameras->contents[QStringLiteral("IMG_2.jpg")] = jpeg;
        scanners->devices = {
            {kScanner, QStringLiteral("Office Scanner"), kScanner, TWCaptureDevice::Scanner}};
        scanners->deviceOptions = {{75, 150, 300},
                                   150,
                                   {QStringLiteral("Gray"), QStringLiteral("Color")},
                                   QStringLiteral("Gray")};
        controller = std::make_unique<TWDeviceController>(std::move(cameraDevices),
                                                          std::move(scannerDevices));
        controller->setBusiness(business.get());
        controller->setBusinessController(document.get());
        controller->setDelegate(delegate.get());
    }
    void TearDown() override
    {
        controller.reset();
        document.reset();
        TWAppTest::TearDown();
    }

    void open()
    {
        code = 0;
        controller->beginSheet([this](int returned) { code = returned; });
    }
    void waitForEnd()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return code != 0; }, 2000));
    }
    void waitForWork()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !controller->isBusy(); }, 5000));
    }

    std::unique_ptr<TWBusiness> business;
    std::unique_ptr<TWTransactionDeviceDelegate> delegate;
    std::unique_ptr<TWBusinessController> document;
    std::unique_ptr<TWDeviceController> controller;
    TWFakeCameraDevices *cameras = nullptr;
    TWFakeScannerDevices *scanners = nullptr;
    int code = 0;
};

} // namespace

TEST_F(DeviceCaptureController, ReopeningKeepsTheDeviceAndViewUnlessTheDeviceWentAway)
{
    open();
    controller->selectDevice(1);
    controller->doImageCaptureDone();
    waitForEnd();
    EXPECT_EQ(code, -1002);

    open();
    EXPECT_EQ(controller->shownView(), 2);
    EXPECT_EQ(controller->deviceList()->currentRow(), 1);
    controller->doImageCaptureDone();
    waitForEnd();

    scanners->devices.clear();
    open();
    EXPECT_EQ(controller->shownView(), 0);
    EXPECT_FALSE(controller->selectedDevice());
    controller->doImageCaptureDone();
    waitForEnd();
}

TEST_F(DeviceCaptureController, CameraFilesKeepTheirNamesAndOneFailedDownloadKeepsTheSheet)
{
    cameras->failingFiles = {QStringLiteral("clip.mov")};
    open();
    controller->selectDevice(0);
    controller->downloadFilesInBackground({0, 1, 2});
    waitForWork();
    ASSERT_EQ(delegate->added.size(), 2);
    EXPECT_EQ(delegate->added[0].name, QStringLiteral("IMG_1.jpg"));
    EXPECT_EQ(delegate->added[1].name, QStringLiteral("IMG_2.jpg"));
    EXPECT_EQ(delegate->added[0].type, 0u);
    EXPECT_EQ(QFileInfo(delegate->added[0].url.toLocalFile()).fileName(),
              QStringLiteral("IMG_1.jpg"));
    // The model makes photos of pictures by their extension.
    const auto &attachments = delegate->transaction->attachments();
    ASSERT_TRUE(attachments && attachments->size() == 2);
    EXPECT_EQ(attachments->first()->type(), 1u);
    EXPECT_EQ(attachments->first()->fileName(), QStringLiteral("IMG_1.jpg"));

    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors.first().localizedDescription().contains(QLatin1String("clip.mov")));
    QTest::qWait(20);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(document->hasAttachedSheet());
    controller->doImageCaptureDone();
    waitForEnd();
}

TEST_F(DeviceCaptureController, EachScanGetsANewPhotoNameInTheChosenMode)
{
    open();
    controller->selectDevice(1);
    controller->scan();
    waitForWork();
    controller->setAdvancedMode(true);
    controller->resolutionBox()->setCurrentIndex(2);
    controller->modeBox()->setCurrentText(QStringLiteral("Color"));
    controller->scan();
    waitForWork();
    controller->setAdvancedMode(false);
    controller->scan();
    waitForWork();

    ASSERT_EQ(scanners->scans.size(), 3);
    EXPECT_FALSE(scanners->scans[0]);
    ASSERT_TRUE(scanners->scans[1]);
    EXPECT_EQ(scanners->scans[1]->resolution, 300);
    EXPECT_EQ(scanners->scans[1]->mode, QStringLiteral("Color"));
    EXPECT_FALSE(scanners->scans[2]);

    const QString photo = TWLocalized("photo");
    ASSERT_EQ(delegate->added.size(), 3);
    EXPECT_EQ(delegate->added[0].name, photo + QStringLiteral(".png"));
    EXPECT_EQ(delegate->added[1].name, photo + QStringLiteral("-2.png"));
    EXPECT_EQ(delegate->added[2].name, photo + QStringLiteral("-3.png"));
    for (const auto &added : delegate->added) {
        EXPECT_EQ(added.type, 1u);
        EXPECT_EQ(QImage(added.url.toLocalFile()).size(), QSize(40, 30));
    }
    controller->doImageCaptureDone();
    waitForEnd();
}

TEST_F(DeviceCaptureController, AFailedScanKeepsTheSheetADeviceErrorEndsIt)
{
    const TWError jam(QStringLiteral("Tallyworth Capture Error"), -1, QStringLiteral("paper jam"));
    scanners->scanError = jam;
    open();
    controller->selectDevice(1);
    controller->scan();
    waitForWork();
    EXPECT_TRUE(delegate->added.isEmpty());
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first(), jam);
    QTest::qWait(20);
    EXPECT_EQ(code, 0);

    // The scanner cannot be opened: the sheet ends and says why.
    const TWError gone(QStringLiteral("Tallyworth Capture Error"), -1, QStringLiteral("offline"));
    scanners->openError = gone;
    controller->selectDevice(0);
    controller->selectDevice(1);
    waitForEnd();
    EXPECT_EQ(code, -1001);
    EXPECT_FALSE(document->hasAttachedSheet());
    ASSERT_EQ(prompts.errors.size(), 2);
    EXPECT_EQ(prompts.errors.last(), gone);

    // The same for a camera whose files cannot be listed; the next opening
    // does not come back to the failed device.
    cameras->listError = gone;
    open();
    EXPECT_EQ(controller->shownView(), 0);
    controller->selectDevice(0);
    waitForEnd();
    EXPECT_EQ(code, -1001);
    EXPECT_EQ(prompts.errors.size(), 3);
    open();
    EXPECT_EQ(controller->shownView(), 0);
    EXPECT_FALSE(controller->selectedDevice());
    controller->doImageCaptureDone();
    waitForEnd();
}
