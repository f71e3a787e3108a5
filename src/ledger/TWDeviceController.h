#pragma once
// The camera and scanner sheet: a list of the cameras (libgphoto2) and
// scanners (SANE, network ones through its net backend); a camera shows its
// files and downloads the chosen ones under their own names, a scanner scans
// in a simple mode (the device's defaults) or an advanced one (resolution and
// colour mode) and each scan becomes a PNG photo with a new "photo" name.
// Finished files go to the delegate.

#include "app/TWSheetResult.h"
#include "platform/capture/TWCameraDevices.h"
#include "platform/capture/TWScannerDevices.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <future>
#include <memory>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSplitter;
class QStackedWidget;
class QWidget;
class TWBusiness;
class TWBusinessController;

// The attachments strip answers these.
class TWDeviceControllerDelegate
{
public:
    virtual ~TWDeviceControllerDelegate() = default;
    // A file name the transaction's attachments do not use yet.
    virtual QString uniqueAttachmentName(const QString &name, const QString &extension) = 0;
    // Adds the file as an attachment of kind `type` (0 file, 1 photo).
    virtual void deviceControllerAddAttachmentURL(const QUrl &url, std::uint32_t type,
                                                  const QString &name) = 0;
};

class TWDeviceController : public QObject
{
    Q_OBJECT
public:
    // Without the device services, the platform's are made.
    explicit TWDeviceController(std::unique_ptr<TWCameraDevices> cameras = nullptr,
                                std::unique_ptr<TWScannerDevices> scanners = nullptr,
                                QObject *parent = nullptr);
    ~TWDeviceController() override;

    void setBusiness(TWBusiness *business) { m_business = business; }
    void setBusinessController(TWBusinessController *controller)
    {
        m_businessController = controller;
    }
    void setDelegate(TWDeviceControllerDelegate *delegate) { m_delegate = delegate; }

    // Loads the view and lists the devices again; the view shown stays.
    void update();
    // update() and the window-modal sheet on the document; the completion gets
    // Confirmed after done, Cancelled when a device error ended it.
    void beginSheet(std::function<void(int)> completion);
    QWidget *view();

    // What the list shows, cameras first.
    const QList<TWCaptureDevice> &devices() const { return m_devices; }
    // Chooses the device at the row (-1: none), as a click in the list does.
    void selectDevice(int row);
    const std::optional<TWCaptureDevice> &selectedDevice() const { return m_selected; }

    // The camera view: its files, and downloading the chosen rows.
    const QList<TWCameraFile> &cameraFiles() const { return m_files; }
    void downloadFiles(const QList<int> &rows);
    // The scanner view: one scan (advanced: with the chosen resolution and mode).
    void scan();
    // What the buttons do: the same off the main thread, the files reaching
    // the delegate when done (workFinished); the controls wait meanwhile.
    void downloadFilesInBackground(const QList<int> &rows);
    void scanInBackground();
    bool isBusy() const { return m_busy; }
    void setAdvancedMode(bool advanced);

    // Done.
    void doImageCaptureDone();

    // 0 empty, 1 camera, 2 scanner.
    int shownView() const;
    QListWidget *deviceList() const { return m_deviceList; }
    QListWidget *fileList() const { return m_fileList; }
    QComboBox *resolutionBox() const { return m_resolutionBox; }
    QComboBox *modeBox() const { return m_modeBox; }
    QPushButton *doneButton() const { return m_doneButton; }

signals:
    void ended(int returnCode);
    void workFinished();

private:
    void loadView();
    void showView(int which);
    void deviceError(const TWError &error);
    void presentError(const TWError &error);
    void endSheet(TWSheetResult result);
    void addFile(const QString &path, std::uint32_t type, const QString &name);
    void startDownload(const QList<int> &rows, bool background);
    void startScan(bool background);
    // Runs `work` (on its own thread when `background`); what it returns runs
    // on the main thread after.
    void runWork(bool background, std::function<std::function<void()>()> work);
    void setBusy(bool busy);
    void waitForWork();

    std::unique_ptr<TWCameraDevices> m_cameras;
    std::unique_ptr<TWScannerDevices> m_scanners;
    TWBusiness *m_business = nullptr;
    TWBusinessController *m_businessController = nullptr;
    TWDeviceControllerDelegate *m_delegate = nullptr;

    QPointer<QWidget> m_view;
    QSplitter *m_splitter = nullptr;
    QListWidget *m_deviceList = nullptr;
    QStackedWidget *m_deviceContainer = nullptr;
    QListWidget *m_fileList = nullptr;
    QPushButton *m_downloadButton = nullptr;
    QRadioButton *m_simpleButton = nullptr;
    QRadioButton *m_advancedButton = nullptr;
    QWidget *m_advancedBox = nullptr;
    QComboBox *m_resolutionBox = nullptr;
    QComboBox *m_modeBox = nullptr;
    QPushButton *m_scanButton = nullptr;
    QLabel *m_scannerLabel = nullptr;
    QPushButton *m_doneButton = nullptr;

    QList<TWCaptureDevice> m_devices;
    std::optional<TWCaptureDevice> m_selected;
    QList<TWCameraFile> m_files;
    bool m_open = false;
    bool m_listing = false;
    bool m_busy = false;
    std::future<void> m_work;
    std::function<void(int)> m_completion;
};
