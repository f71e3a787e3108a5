#pragma once
// Cameras on the bus or the network as libgphoto2 sees them: listing them,
// the files on their storage and downloading chosen files. twMakeCameraDevices()
// gives the libgphoto2 one; tests put in TWFakeCameraDevices.

#include "foundation/TWError.h"
#include "platform/capture/TWCaptureDevice.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

struct TWCameraFile {
    // The folder on the camera ("/store_00010001/DCIM/100CANON").
    QString folder;
    QString name;
    qint64 size = -1;

    bool operator==(const TWCameraFile &other) const = default;
};

class TWCameraDevices
{
public:
    virtual ~TWCameraDevices() = default;
    // The cameras found now (none is not an error).
    virtual QList<TWCaptureDevice> cameras() = 0;
    // Every file on the camera's storage, folder by folder.
    virtual TWResult<QList<TWCameraFile>> files(const TWCaptureDevice &camera) = 0;
    // Copies the file into `folder` under its own name (made safe, never
    // overwriting) and returns the written path.
    virtual TWResult<QString> download(const TWCaptureDevice &camera, const TWCameraFile &file,
                                       const QString &folder) = 0;
};

std::unique_ptr<TWCameraDevices> twMakeCameraDevices();
void twSetCameraDevicesMaker(std::function<std::unique_ptr<TWCameraDevices>()> maker);

// The libgphoto2 implementation, with extra cameras a test or the user names
// (libgphoto2's "Directory Browse" camera over a folder).
class TWGPhotoCameraDevices final : public TWCameraDevices
{
public:
    TWGPhotoCameraDevices();
    ~TWGPhotoCameraDevices() override;

    // The "Directory Browse" camera over `folder`; empty identifier when the
    // installed libgphoto2 lacks that camera or the disk port.
    static TWCaptureDevice directoryCamera(const QString &folder);
    void addCamera(const TWCaptureDevice &camera) { m_extra.append(camera); }

    QList<TWCaptureDevice> cameras() override;
    TWResult<QList<TWCameraFile>> files(const TWCaptureDevice &camera) override;
    TWResult<QString> download(const TWCaptureDevice &camera, const TWCameraFile &file,
                               const QString &folder) override;

private:
    QList<TWCaptureDevice> m_extra;
};
