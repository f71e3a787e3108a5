// The picture taker over a fake camera: the default camera, the still handed
// back, a failed still, and no camera at all.

#include "ledger/TWCameraSheet.h"
#include "platform/capture/TWCaptureFakes.h"

#include "TWAppTestSupport.h"
#include "app/TWAlert.h"

#include <QPushButton>

namespace
{

class DeviceCaptureCameraSheet : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        document = newDocument();
        auto capture = std::make_unique<TWFakeCameraCapture>();
        fake = capture.get();
        fake->inputs = {{"front", QStringLiteral("Front"), false},
                        {"usb", QStringLiteral("USB Camera"), true}};
        fake->still = QImage(64, 48, QImage::Format_RGB32);
        fake->still.fill(Qt::yellow);
        sheet = std::make_unique<TWCameraSheet>(std::move(capture));
        sheet->setBusinessController(document.get());
        twSetAlertPresenter([this](const TWAlert &alert, TWAlertCompletion completion) {
            alerts.append(alert.message);
            completion(1000);
        });
    }
    void TearDown() override
    {
        twSetAlertPresenter({});
        sheet.reset();
        document.reset();
        TWAppTest::TearDown();
    }
    void open()
    {
        code = 0;
        sheet->beginSheet([this](int returned) { code = returned; });
    }
    void waitForEnd()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return code != 0; }, 2000));
    }

    std::unique_ptr<TWBusinessController> document;
    std::unique_ptr<TWCameraSheet> sheet;
    TWFakeCameraCapture *fake = nullptr;
    QStringList alerts;
    int code = 0;
};

} // namespace

TEST_F(DeviceCaptureCameraSheet, TakesAStillWithTheDefaultCamera)
{
    open();
    EXPECT_EQ(fake->startedCamera, "usb");
    EXPECT_TRUE(fake->running);
    EXPECT_TRUE(document->hasAttachedSheet());
    sheet->takeButton()->click();
    waitForEnd();
    EXPECT_EQ(code, -1002);
    EXPECT_EQ(sheet->image(), fake->still);
    EXPECT_FALSE(fake->running);

    // Cancel hands back nothing, also after an earlier picture.
    open();
    EXPECT_TRUE(sheet->image().isNull());
    sheet->cancelButton()->click();
    waitForEnd();
    EXPECT_EQ(code, -1001);
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(DeviceCaptureCameraSheet, AFailedStillIsShownAndMayBeTriedAgain)
{
    fake->stillError =
        TWError(QStringLiteral("Tallyworth Capture Error"), -1, QStringLiteral("busy"));
    open();
    sheet->takePicture();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(sheet->takeButton()->isEnabled());
    QTest::qWait(20);
    EXPECT_EQ(code, 0);
    fake->stillError.reset();
    sheet->takePicture();
    waitForEnd();
    EXPECT_EQ(code, -1002);
}

// The platform's camera on a machine without one answers at once.
TEST(DeviceCapturePlatformCamera, StartingAMissingCameraRefusesWithAnError)
{
    std::unique_ptr<TWCameraCapture> capture = twMakeCameraCapture();
    for (const TWCameraInput &camera : capture->cameras())
        EXPECT_FALSE(camera.identifier.isEmpty());
    TWErrorResult error = capture->start("no-such-camera");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->localizedDescription(), TWLocalized("captureNoCamera"));
}
