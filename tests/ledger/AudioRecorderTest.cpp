// The voice-memo sheet with a fake microphone: choices, quality, the running
// display, and how each way of ending leaves the file.

#include "ledger/TWAudioRecordController.h"
#include "platform/capture/TWCaptureFakes.h"

#include "TWAppTestSupport.h"
#include "model/TWFormatter.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace
{

class VoiceMemoRecorder : public TWAppTest
{
protected:
    void SetUp() override
    {
        TWAppTest::SetUp();
        document = newDocument();
        auto capture = std::make_unique<TWFakeAudioCapture>();
        fake = capture.get();
        fake->inputs = {{"mic-a", QStringLiteral("Built-in")},
                        {"mic-b", QStringLiteral("Headset")}};
        recorder = std::make_unique<TWAudioRecordController>(std::move(capture));
        recorder->setBusiness(document->business());
        recorder->setBusinessController(document.get());
    }
    void TearDown() override
    {
        recorder.reset();
        document.reset();
        TWAppTest::TearDown();
    }

    // Opens the sheet; the code it ends with lands in `code`.
    void open()
    {
        code = 0;
        recorder->beginSheet([this](int returned) { code = returned; });
    }
    void waitForEnd()
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return code != 0; }, 2000));
    }

    QAction *item(const QString &title) const
    {
        for (QAction *action : recorder->settingsMenu()->actions())
            if (action->text() == title)
                return action;
        return nullptr;
    }

    std::unique_ptr<TWBusinessController> document;
    std::unique_ptr<TWAudioRecordController> recorder;
    TWFakeAudioCapture *fake = nullptr;
    int code = 0;
};

} // namespace

TEST_F(VoiceMemoRecorder, PauseStopsTheRunningDisplayAndResumeContinuesIt)
{
    open();
    EXPECT_FALSE(recorder->saveButton()->isEnabled());
    recorder->doRecordPause();
    EXPECT_TRUE(recorder->saveButton()->isEnabled());
    EXPECT_EQ(recorder->recordPauseButton()->text(), TWLocalized("voiceMemoPause"));
    fake->advance(2000);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] {
            return recorder->timeLabel()->text() == TWFormatter::formatter().timeString(2, true, 0);
        },
        1000));
    const QString size = recorder->sizeLabel()->text();
    EXPECT_NE(size, TWFormatter::formatter().dataSizeString(0));

    recorder->doRecordPause();
    EXPECT_EQ(fake->state(), TWAudioCapture::State::Paused);
    EXPECT_FALSE(recorder->timeSizeTimer()->isActive());
    EXPECT_EQ(recorder->recordPauseButton()->text(), TWLocalized("voiceMemoRecord"));

    recorder->doRecordPause();
    EXPECT_EQ(fake->state(), TWAudioCapture::State::Recording);
    EXPECT_TRUE(recorder->timeSizeTimer()->isActive());
    fake->advance(1000);
    EXPECT_TRUE(QTest::qWaitFor(
        [this] {
            return recorder->timeLabel()->text() == TWFormatter::formatter().timeString(3, true, 0);
        },
        1000));
}

TEST_F(VoiceMemoRecorder, SaveEndsWithTheWaveFileAndCancelLeavesNone)
{
    open();
    recorder->doRecordPause();
    fake->advance(500);
    const QString path = fake->recordedPath;
    recorder->doSave(true);
    waitForEnd();
    EXPECT_EQ(code, -1002);
    EXPECT_EQ(recorder->audioFileURL().toLocalFile(), path);
    EXPECT_TRUE(QFileInfo::exists(path));
    QFile::remove(path);

    // The controller is reused: the next use starts with nothing.
    open();
    EXPECT_TRUE(recorder->audioFileURL().isEmpty());
    EXPECT_TRUE(recorder->isSettingUp());
    recorder->doRecordPause();
    const QString cancelled = fake->recordedPath;
    ASSERT_TRUE(QFileInfo::exists(cancelled));
    recorder->doSave(false);
    waitForEnd();
    EXPECT_EQ(code, -1001);
    EXPECT_TRUE(recorder->audioFileURL().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(cancelled));
}

TEST_F(VoiceMemoRecorder, ControlsWaitForTheBackendToFinish)
{
    fake->finishLater = true;
    open();
    recorder->doRecordPause();
    recorder->doSave(true);
    EXPECT_FALSE(recorder->saveButton()->isEnabled());
    EXPECT_FALSE(recorder->cancelButton()->isEnabled());
    EXPECT_FALSE(recorder->recordPauseButton()->isEnabled());
    QTest::qWait(50);
    EXPECT_EQ(code, 0);
    fake->finish();
    waitForEnd();
    EXPECT_EQ(code, -1002);
    QFile::remove(recorder->audioFileURL().toLocalFile());
}

// A recording that fails is no memo: even after save the sheet ends -1001,
// the broken file goes and the error is shown.
TEST_F(VoiceMemoRecorder, RecordingEndingInErrorLeavesNoFileEvenWhenSaved)
{
    const TWError broken(QStringLiteral("Tallyworth Capture Error"), -1,
                         QStringLiteral("disk full"));
    fake->finishError = broken;
    open();
    recorder->doRecordPause();
    const QString path = fake->recordedPath;
    recorder->doSave(true);
    waitForEnd();
    EXPECT_EQ(code, -1001);
    EXPECT_TRUE(recorder->audioFileURL().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first(), broken);

    // The backend fails by itself in the middle of a recording.
    prompts.errors.clear();
    fake->finishError.reset();
    open();
    recorder->doRecordPause();
    const QString second = fake->recordedPath;
    fake->fail(broken);
    waitForEnd();
    EXPECT_EQ(code, -1001);
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_EQ(prompts.errors.size(), 1);
}

TEST_F(VoiceMemoRecorder, RefusedRecordingShowsTheErrorAndKeepsTheChoicesOpen)
{
    fake->recordError =
        TWError(QStringLiteral("Tallyworth Capture Error"), -1, TWLocalized("captureNoWave"));
    open();
    recorder->doRecordPause();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first().localizedDescription(), TWLocalized("captureNoWave"));
    EXPECT_TRUE(recorder->isSettingUp());
    EXPECT_FALSE(recorder->saveButton()->isEnabled());

    // No microphone at all: record says so instead of doing nothing.
    prompts.errors.clear();
    fake->inputs.clear();
    fake->recordError.reset();
    recorder->doSave(false);
    waitForEnd();
    open();
    recorder->doRecordPause();
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(prompts.errors.first().localizedDescription(), TWLocalized("captureNoMicrophone"));
    EXPECT_TRUE(fake->recordedPath.isEmpty());
}

TEST_F(VoiceMemoRecorder, EscapeWhileRecordingCancelsAndRemovesTheFile)
{
    open();
    recorder->doRecordPause();
    const QString path = fake->recordedPath;
    // The sheet is closed from outside, as Escape does.
    document->endSheet(recorder->view(), -1001);
    waitForEnd();
    EXPECT_EQ(code, -1001);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(fake->state(), TWAudioCapture::State::Stopped);
}

// The platform's recorder on a machine without sound hardware answers at once.
TEST(VoiceMemoPlatform, RecordingFromAMissingMicrophoneRefusesWithAnError)
{
    std::unique_ptr<TWAudioCapture> capture = twMakeAudioCapture();
    const QList<TWAudioInput> inputs = capture->audioInputs();
    for (const TWAudioInput &input : inputs)
        EXPECT_FALSE(input.identifier.isEmpty());
    TWTestTempDir dir;
    const QString path = dir.filePath(QStringLiteral("memo.wav"));
    QElapsedTimer clock;
    clock.start();
    TWErrorResult error = capture->record("no-such-microphone", 22050, path);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), QStringLiteral("Tallyworth Capture Error"));
    EXPECT_FALSE(error->localizedDescription().isEmpty());
    EXPECT_EQ(capture->state(), TWAudioCapture::State::Stopped);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_LT(clock.elapsed(), 5000);
}
