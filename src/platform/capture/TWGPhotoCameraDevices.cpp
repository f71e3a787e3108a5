// Cameras through libgphoto2: autodetected ones and the ones named by hand,
// the files on their storage and downloads into a folder.

#include "foundation/TWFileNames.h"
#include "foundation/TWSaveFile.h"
#include "platform/capture/TWCameraDevices.h"
#include "platform/capture/TWCaptureError.h"

#include <QDir>
#include <QSaveFile>
#include <QSet>

#include <gphoto2/gphoto2.h>

namespace
{

constexpr int kMaximumFolderDepth = 16;
constexpr int kMaximumFiles = 20000;
const QString kDirectoryModel = QStringLiteral("Directory Browse");

QString gphotoReason(int result)
{
    return QString::fromUtf8(gp_result_as_string(result));
}

// An open camera and what it was made from; all released together.
class Session
{
public:
    ~Session()
    {
        if (camera) {
            gp_camera_exit(camera, context);
            gp_camera_unref(camera);
        }
        if (ports)
            gp_port_info_list_free(ports);
        if (abilities)
            gp_abilities_list_free(abilities);
        if (context)
            gp_context_unref(context);
    }

    TWErrorResult open(const TWCaptureDevice &device)
    {
        const QStringList parts = device.identifier.split(QLatin1Char('\n'));
        if (parts.size() != 2)
            return twCaptureError("captureCameraOpenFailed", device.identifier);
        const QByteArray model = parts[0].toUtf8();
        const QByteArray port = parts[1].toUtf8();
        context = gp_context_new();
        int result = gp_abilities_list_new(&abilities);
        if (result >= GP_OK)
            result = gp_abilities_list_load(abilities, context);
        if (result < GP_OK)
            return twCaptureError("captureCameraOpenFailed", gphotoReason(result));
        const int modelIndex = gp_abilities_list_lookup_model(abilities, model.constData());
        if (modelIndex < GP_OK)
            return twCaptureError("captureCameraOpenFailed", gphotoReason(modelIndex));
        CameraAbilities cameraAbilities;
        gp_abilities_list_get_abilities(abilities, modelIndex, &cameraAbilities);
        result = gp_port_info_list_new(&ports);
        if (result >= GP_OK)
            result = gp_port_info_list_load(ports);
        if (result < GP_OK)
            return twCaptureError("captureCameraOpenFailed", gphotoReason(result));
        const int portIndex = gp_port_info_list_lookup_path(ports, port.constData());
        if (portIndex < GP_OK)
            return twCaptureError("captureCameraOpenFailed", gphotoReason(portIndex));
        GPPortInfo portInfo;
        gp_port_info_list_get_info(ports, portIndex, &portInfo);
        result = gp_camera_new(&camera);
        if (result >= GP_OK)
            result = gp_camera_set_abilities(camera, cameraAbilities);
        if (result >= GP_OK)
            result = gp_camera_set_port_info(camera, portInfo);
        if (result >= GP_OK)
            result = gp_camera_init(camera, context);
        if (result < GP_OK)
            return twCaptureError("captureCameraOpenFailed", gphotoReason(result));
        return std::nullopt;
    }

    // The files below `folder`, depth first.
    TWErrorResult list(const QString &folder, int depth, QList<TWCameraFile> &files)
    {
        const QByteArray path = folder.toUtf8();
        CameraList *names = nullptr;
        gp_list_new(&names);
        int result = gp_camera_folder_list_files(camera, path.constData(), names, context);
        if (result < GP_OK) {
            gp_list_free(names);
            return twCaptureError("captureCameraListFailed", gphotoReason(result));
        }
        for (int i = 0; i < gp_list_count(names) && files.size() < kMaximumFiles; ++i) {
            const char *name = nullptr;
            gp_list_get_name(names, i, &name);
            TWCameraFile file{folder, QString::fromUtf8(name), -1};
            CameraFileInfo info;
            if (gp_camera_file_get_info(camera, path.constData(), name, &info, context) >= GP_OK &&
                (info.file.fields & GP_FILE_INFO_SIZE))
                file.size = qint64(info.file.size);
            files.append(file);
        }
        gp_list_reset(names);
        result = depth < kMaximumFolderDepth
                     ? gp_camera_folder_list_folders(camera, path.constData(), names, context)
                     : GP_OK;
        QStringList folders;
        for (int i = 0; result >= GP_OK && i < gp_list_count(names); ++i) {
            const char *name = nullptr;
            gp_list_get_name(names, i, &name);
            folders.append(QString::fromUtf8(name));
        }
        gp_list_free(names);
        if (result < GP_OK)
            return twCaptureError("captureCameraListFailed", gphotoReason(result));
        for (const QString &sub : folders) {
            const QString subPath =
                folder.endsWith(QLatin1Char('/')) ? folder + sub : folder + QLatin1Char('/') + sub;
            if (TWErrorResult error = list(subPath, depth + 1, files))
                return error;
        }
        return std::nullopt;
    }

    GPContext *context = nullptr;
    CameraAbilitiesList *abilities = nullptr;
    GPPortInfoList *ports = nullptr;
    Camera *camera = nullptr;
};

} // namespace

TWGPhotoCameraDevices::TWGPhotoCameraDevices() = default;
TWGPhotoCameraDevices::~TWGPhotoCameraDevices() = default;

TWCaptureDevice TWGPhotoCameraDevices::directoryCamera(const QString &folder)
{
    TWCaptureDevice device;
    device.kind = TWCaptureDevice::Camera;
    device.name = kDirectoryModel;
    device.location = folder;
    CameraAbilitiesList *abilities = nullptr;
    GPContext *context = gp_context_new();
    bool found = false;
    if (gp_abilities_list_new(&abilities) >= GP_OK &&
        gp_abilities_list_load(abilities, context) >= GP_OK)
        found = gp_abilities_list_lookup_model(abilities, kDirectoryModel.toUtf8().constData()) >=
                GP_OK;
    if (abilities)
        gp_abilities_list_free(abilities);
    gp_context_unref(context);
    if (found)
        device.identifier = kDirectoryModel + QStringLiteral("\ndisk:") + folder;
    return device;
}

QList<TWCaptureDevice> TWGPhotoCameraDevices::cameras()
{
    QList<TWCaptureDevice> cameras;
    GPContext *context = gp_context_new();
    CameraList *list = nullptr;
    gp_list_new(&list);
    if (gp_camera_autodetect(list, context) >= GP_OK) {
        for (int i = 0; i < gp_list_count(list); ++i) {
            const char *model = nullptr;
            const char *port = nullptr;
            gp_list_get_name(list, i, &model);
            gp_list_get_value(list, i, &port);
            TWCaptureDevice camera;
            camera.kind = TWCaptureDevice::Camera;
            camera.name = QString::fromUtf8(model);
            camera.location = QString::fromUtf8(port);
            camera.identifier = camera.name + QLatin1Char('\n') + camera.location;
            cameras.append(camera);
        }
    }
    gp_list_free(list);
    gp_context_unref(context);
    for (const TWCaptureDevice &camera : m_extra)
        if (!camera.identifier.isEmpty() && !cameras.contains(camera))
            cameras.append(camera);
    return cameras;
}

TWResult<QList<TWCameraFile>> TWGPhotoCameraDevices::files(const TWCaptureDevice &camera)
{
    TWResult<QList<TWCameraFile>> result;
    Session session;
    if ((result.error = session.open(camera)))
        return result;
    result.error = session.list(QStringLiteral("/"), 0, result.value);
    return result;
}

TWResult<QString> TWGPhotoCameraDevices::download(const TWCaptureDevice &camera,
                                                  const TWCameraFile &file, const QString &folder)
{
    TWResult<QString> result;
    Session session;
    if ((result.error = session.open(camera)))
        return result;
    CameraFile *cameraFile = nullptr;
    gp_file_new(&cameraFile);
    const QByteArray folderPath = file.folder.toUtf8();
    const QByteArray name = file.name.toUtf8();
    int status = gp_camera_file_get(session.camera, folderPath.constData(), name.constData(),
                                    GP_FILE_TYPE_NORMAL, cameraFile, session.context);
    const char *data = nullptr;
    unsigned long size = 0;
    if (status >= GP_OK)
        status = gp_file_get_data_and_size(cameraFile, &data, &size);
    if (status < GP_OK) {
        gp_file_unref(cameraFile);
        result.error = twCaptureError("captureDownloadFailed", gphotoReason(status));
        return result;
    }
    // The camera names the file: one safe component, never over an existing file.
    const QDir target(folder);
    QSet<QString> taken;
    const QStringList existing =
        target.entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System);
    for (const QString &entry : existing)
        taken.insert(entry);
    const QString fileName =
        TWFileNames::uniqueFileName(TWFileNames::safeFileName(file.name), taken);
    const QString path = target.filePath(fileName);
    QSaveFile out(path);
    const bool written =
        out.open(QIODevice::WriteOnly) && out.write(data, qint64(size)) == qint64(size);
    const TWErrorResult failure = twCommitSaveFile(out, written);
    gp_file_unref(cameraFile);
    if (failure) {
        result.error = twCaptureError("captureDownloadFailed", failure->localizedDescription());
        return result;
    }
    result.value = path;
    return result;
}
