// Recording from a microphone with QtMultimedia into a WAV file.

#include "platform/capture/TWAudioCapture.h"
#include "platform/capture/TWCaptureError.h"

#include <QAudioDevice>
#include <QAudioInput>
#include <QFile>
#include <QFileInfo>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMediaFormat>
#include <QMediaRecorder>
#include <QPointer>
#include <QUrl>

namespace
{

class TWQtAudioCapture final : public TWAudioCapture
{
public:
    QList<TWAudioInput> audioInputs() const override
    {
        QList<TWAudioInput> inputs;
        for (const QAudioDevice &device : QMediaDevices::audioInputs())
            inputs.append({device.id(), device.description()});
        return inputs;
    }

    TWErrorResult record(const QByteArray &input, int sampleRate, const QString &path) override
    {
        if (m_recorder && m_recorder->recorderState() != QMediaRecorder::StoppedState)
            return twCaptureError("captureRecordingBusy");
        const QList<QAudioDevice> devices = QMediaDevices::audioInputs();
        const auto found = std::find_if(devices.begin(), devices.end(),
                                        [&](const QAudioDevice &d) { return d.id() == input; });
        if (found == devices.end())
            return twCaptureError("captureNoMicrophone");
        QMediaFormat format(QMediaFormat::Wave);
        format.setAudioCodec(QMediaFormat::AudioCodec::Wave);
        // Without the encoder the backend would make an empty or foreign file.
        if (!format.isSupported(QMediaFormat::Encode))
            return twCaptureError("captureNoWave");

        delete m_recorder;
        delete m_input;
        m_input = new QAudioInput(*found, this);
        m_recorder = new QMediaRecorder(this);
        m_session.setAudioInput(m_input);
        m_session.setRecorder(m_recorder);
        m_recorder->setMediaFormat(format);
        m_recorder->setAudioSampleRate(sampleRate);
        m_recorder->setEncodingMode(QMediaRecorder::ConstantQualityEncoding);
        m_recorder->setOutputLocation(QUrl::fromLocalFile(path));
        m_path = path;
        m_error.reset();
        m_reported = false;
        QPointer<QMediaRecorder> recorder = m_recorder;
        connect(m_recorder, &QMediaRecorder::errorOccurred, this,
                [this, recorder](QMediaRecorder::Error, const QString &text) {
                    if (recorder != m_recorder)
                        return;
                    if (!m_error)
                        m_error = twCaptureError("captureRecordingFailed", text);
                    if (m_recorder->recorderState() == QMediaRecorder::StoppedState)
                        report();
                });
        connect(m_recorder, &QMediaRecorder::recorderStateChanged, this,
                [this, recorder](QMediaRecorder::RecorderState state) {
                    if (recorder == m_recorder && state == QMediaRecorder::StoppedState)
                        report();
                });
        m_recorder->record();
        if (m_recorder->error() != QMediaRecorder::NoError) {
            TWError error = twCaptureError("captureRecordingFailed", m_recorder->errorString());
            m_reported = true;
            m_recorder->stop();
            return error;
        }
        return std::nullopt;
    }

    void pause() override
    {
        if (m_recorder)
            m_recorder->pause();
    }
    void resume() override
    {
        if (m_recorder)
            m_recorder->record();
    }
    void stop() override
    {
        if (!m_recorder)
            return;
        if (m_recorder->recorderState() == QMediaRecorder::StoppedState)
            report();
        else
            m_recorder->stop();
    }
    State state() const override
    {
        if (!m_recorder)
            return State::Stopped;
        switch (m_recorder->recorderState()) {
        case QMediaRecorder::RecordingState:
            return State::Recording;
        case QMediaRecorder::PausedState:
            return State::Paused;
        default:
            return State::Stopped;
        }
    }
    qint64 duration() const override { return m_recorder ? m_recorder->duration() : 0; }

private:
    void report()
    {
        if (m_reported)
            return;
        m_reported = true;
        if (!m_error) {
            // The backend may have added its own extension: the file goes where it was asked.
            const QString actual = m_recorder->actualLocation().toLocalFile();
            if (!actual.isEmpty() && actual != m_path && QFile::exists(actual)) {
                QFile::remove(m_path);
                QFile::rename(actual, m_path);
            }
            if (QFileInfo(m_path).size() <= 44)
                m_error = twCaptureError("captureRecordingEmpty");
        }
        emit finished(m_error);
    }

    QMediaCaptureSession m_session;
    QAudioInput *m_input = nullptr;
    QMediaRecorder *m_recorder = nullptr;
    QString m_path;
    std::optional<TWError> m_error;
    bool m_reported = true;
};

} // namespace

std::unique_ptr<TWAudioCapture> twMakeQtAudioCapture()
{
    return std::make_unique<TWQtAudioCapture>();
}
