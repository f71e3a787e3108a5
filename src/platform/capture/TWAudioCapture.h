#pragma once
// Recording sound from a microphone into a WAV file: the microphones there
// are, record, pause, resume, stop, the running duration and errors. The
// QtMultimedia implementation comes from twMakeAudioCapture(); tests put in
// TWFakeAudioCapture (TWCaptureFakes.h).

#include "foundation/TWError.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

struct TWAudioInput {
    // QAudioDevice::id(): what a kept choice is matched by.
    QByteArray identifier;
    QString name;
};

class TWAudioCapture : public QObject
{
    Q_OBJECT
public:
    enum class State { Stopped, Recording, Paused };

    using QObject::QObject;
    ~TWAudioCapture() override = default;

    virtual QList<TWAudioInput> audioInputs() const = 0;
    // Starts recording from the microphone into a new WAV file at `path`
    // (linear PCM at `sampleRate` Hz). An error means nothing was started.
    virtual TWErrorResult record(const QByteArray &input, int sampleRate, const QString &path) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    // Ends the recording; finished() follows (at once or later).
    virtual void stop() = 0;
    virtual State state() const = 0;
    // Milliseconds recorded so far.
    virtual qint64 duration() const = 0;

signals:
    // The recording has ended, after stop() or by itself; with an error when
    // the file is not a sound recording to keep.
    void finished(const std::optional<TWError> &error);
};

// The recorder of the platform (QtMultimedia), or the one a test installed.
std::unique_ptr<TWAudioCapture> twMakeAudioCapture();
// A test's maker; an empty one puts the platform's back.
void twSetAudioCaptureMaker(std::function<std::unique_ptr<TWAudioCapture>()> maker);
