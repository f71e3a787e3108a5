#pragma once
// Stand-ins for the capture services that tests drive by hand: microphones,
// cameras, camera files and scanners given as data, and recordings,
// stills, downloads and scans that succeed or fail on request.

#include "platform/capture/TWAudioCapture.h"
#include "platform/capture/TWCameraCapture.h"
#include "platform/capture/TWCameraDevices.h"
#include "platform/capture/TWScannerDevices.h"

#include <QHash>
#include <QSet>

// Writes a small valid WAV file when recording starts; duration moves only
// with advance() and only while recording.
class TWFakeAudioCapture final : public TWAudioCapture
{
    Q_OBJECT
public:
    using TWAudioCapture::TWAudioCapture;

    QList<TWAudioInput> inputs;
    // Set: record() refuses with it.
    std::optional<TWError> recordError;
    // Set: the recording finishes with it after stop().
    std::optional<TWError> finishError;
    // finished() only when the test calls finish() (a backend reporting late).
    bool finishLater = false;

    QByteArray recordedInput;
    int recordedSampleRate = 0;
    QString recordedPath;

    QList<TWAudioInput> audioInputs() const override { return inputs; }
    TWErrorResult record(const QByteArray &input, int sampleRate, const QString &path) override;
    void pause() override;
    void resume() override;
    void stop() override;
    State state() const override { return m_state; }
    qint64 duration() const override { return m_duration; }

    // Time passes: the recording grows while recording.
    void advance(qint64 milliseconds);
    // The backend reports an error while recording (the recording ends).
    void fail(const TWError &error);
    void finish();

private:
    State m_state = State::Stopped;
    qint64 m_duration = 0;
    bool m_pendingFinish = false;
};

class TWFakeCameraCapture final : public TWCameraCapture
{
    Q_OBJECT
public:
    using TWCameraCapture::TWCameraCapture;

    QList<TWCameraInput> inputs;
    std::optional<TWError> startError;
    // Set: the still fails with it.
    std::optional<TWError> stillError;
    QImage still;
    QByteArray startedCamera;
    bool running = false;

    QList<TWCameraInput> cameras() const override { return inputs; }
    QWidget *makePreview(QWidget *parent) override;
    TWErrorResult start(const QByteArray &camera) override;
    void stop() override { running = false; }
    void captureStill() override;
};

class TWFakeCameraDevices final : public TWCameraDevices
{
public:
    QList<TWCaptureDevice> devices;
    // Per device identifier.
    QHash<QString, QList<TWCameraFile>> files_;
    QHash<QString, QByteArray> contents; // per file name
    std::optional<TWError> listError;
    QSet<QString> failingFiles;

    QList<TWCaptureDevice> cameras() override { return devices; }
    TWResult<QList<TWCameraFile>> files(const TWCaptureDevice &camera) override;
    TWResult<QString> download(const TWCaptureDevice &camera, const TWCameraFile &file,
                               const QString &folder) override;
};

class TWFakeScannerDevices final : public TWScannerDevices
{
public:
    QList<TWCaptureDevice> devices;
    TWScannerOptions deviceOptions;
    std::optional<TWError> openError;
    std::optional<TWError> scanError;
    QList<std::optional<TWScanSettings>> scans;

    QList<TWCaptureDevice> scanners() override { return devices; }
    TWResult<TWScannerOptions> options(const TWCaptureDevice &scanner) override;
    TWResult<QImage> scan(const TWCaptureDevice &scanner,
                          const std::optional<TWScanSettings> &settings) override;
};

// Writes `milliseconds` of silence as a mono 16-bit WAV file; false on failure.
bool twWriteSilentWave(const QString &path, int sampleRate, qint64 milliseconds);
