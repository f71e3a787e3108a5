// Stills from a camera of the computer with QtMultimedia.

#include "platform/capture/TWCameraCapture.h"
#include "platform/capture/TWCaptureError.h"

#include <QCamera>
#include <QCameraDevice>
#include <QImageCapture>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QPointer>
#include <QVideoWidget>

namespace
{

class TWQtCameraCapture final : public TWCameraCapture
{
public:
    ~TWQtCameraCapture() override { stop(); }

    QList<TWCameraInput> cameras() const override
    {
        QList<TWCameraInput> cameras;
        const QCameraDevice preferred = QMediaDevices::defaultVideoInput();
        for (const QCameraDevice &device : QMediaDevices::videoInputs())
            cameras.append({device.id(), device.description(), device == preferred});
        return cameras;
    }

    QWidget *makePreview(QWidget *parent) override
    {
        auto *widget = new QVideoWidget(parent);
        m_session.setVideoOutput(widget);
        return widget;
    }

    TWErrorResult start(const QByteArray &identifier) override
    {
        stop();
        const QList<QCameraDevice> devices = QMediaDevices::videoInputs();
        const auto found =
            std::find_if(devices.begin(), devices.end(),
                         [&](const QCameraDevice &d) { return d.id() == identifier; });
        if (found == devices.end())
            return twCaptureError("captureNoCamera");
        m_camera = new QCamera(*found, this);
        m_imageCapture = new QImageCapture(this);
        m_session.setCamera(m_camera);
        m_session.setImageCapture(m_imageCapture);
        connect(m_camera, &QCamera::errorOccurred, this,
                [this](QCamera::Error, const QString &text) {
                    emit failed(twCaptureError("captureCameraFailed", text));
                });
        connect(m_imageCapture, &QImageCapture::imageCaptured, this,
                [this](int, const QImage &image) { emit stillCaptured(image); });
        connect(m_imageCapture, &QImageCapture::errorOccurred, this,
                [this](int, QImageCapture::Error, const QString &text) {
                    emit failed(twCaptureError("captureCameraFailed", text));
                });
        m_camera->start();
        if (m_camera->error() != QCamera::NoError) {
            TWError error = twCaptureError("captureCameraFailed", m_camera->errorString());
            stop();
            return error;
        }
        return std::nullopt;
    }

    void stop() override
    {
        if (m_camera)
            m_camera->stop();
        m_session.setCamera(nullptr);
        m_session.setImageCapture(nullptr);
        delete m_imageCapture;
        delete m_camera;
        m_imageCapture = nullptr;
        m_camera = nullptr;
    }

    void captureStill() override
    {
        if (!m_imageCapture || !m_imageCapture->isReadyForCapture()) {
            emit failed(twCaptureError("captureCameraNotReady"));
            return;
        }
        m_imageCapture->capture();
    }

private:
    QMediaCaptureSession m_session;
    QCamera *m_camera = nullptr;
    QImageCapture *m_imageCapture = nullptr;
};

} // namespace

std::unique_ptr<TWCameraCapture> twMakeQtCameraCapture()
{
    return std::make_unique<TWQtCameraCapture>();
}
