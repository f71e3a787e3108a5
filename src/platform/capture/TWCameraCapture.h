#pragma once
// A still picture from a camera of the computer (QMediaDevices::videoInputs):
// the cameras there are, a live view while the camera runs and a still handed
// back as a QImage. twMakeCameraCapture() gives the QtMultimedia one; tests
// put in TWFakeCameraCapture (TWCaptureFakes.h).

#include "foundation/TWError.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

struct TWCameraInput {
    QByteArray identifier;
    QString name;
    bool isDefault = false;
};

class TWCameraCapture : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~TWCameraCapture() override = default;

    virtual QList<TWCameraInput> cameras() const = 0;
    // A widget showing the running camera, owned by the caller.
    virtual QWidget *makePreview(QWidget *parent) = 0;
    // Starts the camera; an error means it did not start.
    virtual TWErrorResult start(const QByteArray &camera) = 0;
    virtual void stop() = 0;
    // Asks for a still; stillCaptured or failed follows.
    virtual void captureStill() = 0;

signals:
    void stillCaptured(const QImage &image);
    void failed(const TWError &error);
};

std::unique_ptr<TWCameraCapture> twMakeCameraCapture();
void twSetCameraCaptureMaker(std::function<std::unique_ptr<TWCameraCapture>()> maker);
