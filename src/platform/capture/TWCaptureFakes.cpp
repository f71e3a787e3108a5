#include "platform/capture/TWCaptureFakes.h"

#include "foundation/TWSaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>
#include <QtEndian>

namespace
{
void appendLE32(QByteArray &data, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    data.append(bytes, 4);
}
void appendLE16(QByteArray &data, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    data.append(bytes, 2);
}
} // namespace

bool twWriteSilentWave(const QString &path, int sampleRate, qint64 milliseconds)
{
    const quint32 samples = quint32(qint64(sampleRate) * milliseconds / 1000);
    const quint32 dataSize = samples * 2;
    QByteArray data;
    data.append("RIFF", 4);
    appendLE32(data, 36 + dataSize);
    data.append("WAVEfmt ", 8);
    appendLE32(data, 16);
    appendLE16(data, 1); // linear PCM
    appendLE16(data, 1); // mono
    appendLE32(data, quint32(sampleRate));
    appendLE32(data, quint32(sampleRate) * 2);
    appendLE16(data, 2);
    appendLE16(data, 16);
    data.append("data", 4);
    appendLE32(data, dataSize);
    data.append(QByteArray(int(dataSize), '\0'));
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

// ---- Microphone ----

TWErrorResult TWFakeAudioCapture::record(const QByteArray &input, int sampleRate,
                                         const QString &path)
{
    if (recordError)
        return recordError;
    recordedInput = input;
    recordedSampleRate = sampleRate;
    recordedPath = path;
    m_duration = 0;
    if (!twWriteSilentWave(path, sampleRate, 0))
        return TWError(QStringLiteral("Tallyworth Capture Error"), -1,
                       QStringLiteral("fake write"));
    m_state = State::Recording;
    return std::nullopt;
}

void TWFakeAudioCapture::pause()
{
    if (m_state == State::Recording)
        m_state = State::Paused;
}

void TWFakeAudioCapture::resume()
{
    if (m_state == State::Paused)
        m_state = State::Recording;
}

void TWFakeAudioCapture::advance(qint64 milliseconds)
{
    if (m_state != State::Recording)
        return;
    m_duration += milliseconds;
    twWriteSilentWave(recordedPath, recordedSampleRate, m_duration);
}

void TWFakeAudioCapture::stop()
{
    if (m_state == State::Stopped)
        return;
    m_state = State::Stopped;
    if (finishLater) {
        m_pendingFinish = true;
        return;
    }
    emit finished(finishError);
}

void TWFakeAudioCapture::finish()
{
    if (!m_pendingFinish)
        return;
    m_pendingFinish = false;
    emit finished(finishError);
}

void TWFakeAudioCapture::fail(const TWError &error)
{
    m_state = State::Stopped;
    emit finished(error);
}

// ---- Camera ----

QWidget *TWFakeCameraCapture::makePreview(QWidget *parent)
{
    return new QLabel(QStringLiteral("camera"), parent);
}

TWErrorResult TWFakeCameraCapture::start(const QByteArray &camera)
{
    if (startError)
        return startError;
    startedCamera = camera;
    running = true;
    return std::nullopt;
}

void TWFakeCameraCapture::captureStill()
{
    if (stillError)
        emit failed(*stillError);
    else
        emit stillCaptured(still);
}

// ---- Cameras on the bus ----

TWResult<QList<TWCameraFile>> TWFakeCameraDevices::files(const TWCaptureDevice &camera)
{
    TWResult<QList<TWCameraFile>> result;
    if (listError)
        result.error = listError;
    else
        result.value = files_.value(camera.identifier);
    return result;
}

TWResult<QString> TWFakeCameraDevices::download(const TWCaptureDevice &, const TWCameraFile &file,
                                                const QString &folder)
{
    TWResult<QString> result;
    if (failingFiles.contains(file.name)) {
        result.error = TWError(QStringLiteral("Tallyworth Capture Error"), -1,
                               QStringLiteral("download failed: ") + file.name);
        return result;
    }
    const QString path = QDir(folder).filePath(file.name);
    QSaveFile out(path);
    const QByteArray bytes = contents.value(file.name, "data");
    const bool written = out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
    if (const TWErrorResult failure = twCommitSaveFile(out, written)) {
        result.error = TWError(QStringLiteral("Tallyworth Capture Error"), -1,
                               failure->localizedDescription());
        return result;
    }
    result.value = path;
    return result;
}

// ---- Scanners ----

TWResult<TWScannerOptions> TWFakeScannerDevices::options(const TWCaptureDevice &)
{
    TWResult<TWScannerOptions> result;
    if (openError)
        result.error = openError;
    else
        result.value = deviceOptions;
    return result;
}

TWResult<QImage> TWFakeScannerDevices::scan(const TWCaptureDevice &,
                                            const std::optional<TWScanSettings> &settings)
{
    TWResult<QImage> result;
    if (scanError) {
        result.error = scanError;
        return result;
    }
    scans.append(settings);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    result.value = image;
    return result;
}
