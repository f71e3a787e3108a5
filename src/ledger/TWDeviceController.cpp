#include "ledger/TWDeviceController.h"

#include "app/TWBusinessController.h"
#include "foundation/TWLocalized.h"
#include "model/TWUtilities.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace
{
enum ShownView { EmptyView = 0, CameraView = 1, ScannerView = 2 };
constexpr int kBrowserWidth = 200;

// Long device work shows the busy cursor while it runs.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

TWDeviceController::TWDeviceController(std::unique_ptr<TWCameraDevices> cameras,
                                       std::unique_ptr<TWScannerDevices> scanners, QObject *parent)
    : QObject(parent), m_cameras(cameras ? std::move(cameras) : twMakeCameraDevices()),
      m_scanners(scanners ? std::move(scanners) : twMakeScannerDevices())
{
}

TWDeviceController::~TWDeviceController()
{
    // The device services must outlive the work that uses them.
    waitForWork();
    delete m_view;
}

void TWDeviceController::runWork(bool background, std::function<std::function<void()>()> work)
{
    waitForWork();
    if (!background) {
        BusyCursor busy;
        std::function<void()> done = work();
        done();
        return;
    }
    setBusy(true);
    m_work = std::async(std::launch::async, [this, work = std::move(work)] {
        std::function<void()> done = work();
        // Dropped when the controller has gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, done = std::move(done)] {
                setBusy(false);
                done();
                emit workFinished();
            },
            Qt::QueuedConnection);
    });
}

void TWDeviceController::waitForWork()
{
    if (m_work.valid())
        m_work.wait();
}

void TWDeviceController::setBusy(bool busy)
{
    m_busy = busy;
    if (!m_view)
        return;
    m_deviceList->setEnabled(!busy);
    m_downloadButton->setEnabled(!busy && !m_files.isEmpty());
    m_fileList->setEnabled(!busy);
    m_scanButton->setEnabled(!busy);
    m_simpleButton->setEnabled(!busy);
    m_advancedButton->setEnabled(!busy);
    m_doneButton->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

QWidget *TWDeviceController::view()
{
    loadView();
    return m_view;
}

void TWDeviceController::loadView()
{
    if (m_view)
        return;
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWDevice"));
    m_splitter = new QSplitter(Qt::Horizontal, m_view);
    m_deviceList = new QListWidget(m_splitter);
    m_deviceList->setMinimumWidth(120);
    m_deviceContainer = new QStackedWidget(m_splitter);
    m_splitter->addWidget(m_deviceList);
    m_splitter->addWidget(m_deviceContainer);
    // The list keeps its width when the sheet grows.
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({kBrowserWidth, 440});

    auto *empty = new QLabel(TWLocalized("deviceNoDevice"));
    empty->setAlignment(Qt::AlignCenter);
    empty->setObjectName(QStringLiteral("emptyDeviceView"));
    m_deviceContainer->addWidget(empty);

    auto *camera = new QWidget;
    m_fileList = new QListWidget(camera);
    m_fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_downloadButton = new QPushButton(TWLocalized("deviceDownload"), camera);
    auto *cameraLayout = new QVBoxLayout(camera);
    cameraLayout->addWidget(m_fileList, 1);
    auto *cameraButtons = new QHBoxLayout;
    cameraButtons->addStretch(1);
    cameraButtons->addWidget(m_downloadButton);
    cameraLayout->addLayout(cameraButtons);
    m_deviceContainer->addWidget(camera);

    auto *scanner = new QWidget;
    m_scannerLabel = new QLabel(scanner);
    m_simpleButton = new QRadioButton(TWLocalized("deviceSimple"), scanner);
    m_advancedButton = new QRadioButton(TWLocalized("deviceAdvanced"), scanner);
    auto *modes = new QButtonGroup(scanner);
    modes->addButton(m_simpleButton);
    modes->addButton(m_advancedButton);
    m_simpleButton->setChecked(true);
    m_advancedBox = new QWidget(scanner);
    m_resolutionBox = new QComboBox(m_advancedBox);
    m_modeBox = new QComboBox(m_advancedBox);
    auto *form = new QFormLayout(m_advancedBox);
    form->addRow(TWLocalized("deviceResolution"), m_resolutionBox);
    form->addRow(TWLocalized("deviceMode"), m_modeBox);
    m_advancedBox->setEnabled(false);
    m_scanButton = new QPushButton(TWLocalized("deviceScan"), scanner);
    m_scanButton->setIcon(QIcon::fromTheme(QStringLiteral("scanner")));
    auto *scannerLayout = new QVBoxLayout(scanner);
    scannerLayout->addWidget(m_scannerLabel);
    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(m_simpleButton);
    modeRow->addWidget(m_advancedButton);
    modeRow->addStretch(1);
    scannerLayout->addLayout(modeRow);
    scannerLayout->addWidget(m_advancedBox);
    scannerLayout->addStretch(1);
    auto *scanRow = new QHBoxLayout;
    scanRow->addStretch(1);
    scanRow->addWidget(m_scanButton);
    scannerLayout->addLayout(scanRow);
    m_deviceContainer->addWidget(scanner);

    m_doneButton = new QPushButton(TWLocalized("deviceDone"), m_view);
    m_doneButton->setDefault(true);
    auto *band = new QHBoxLayout;
    band->addStretch(1);
    band->addWidget(m_doneButton);
    auto *layout = new QVBoxLayout(m_view);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(band);
    m_view->resize(680, 420);

    connect(m_deviceList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_listing)
            selectDevice(row);
    });
    connect(m_downloadButton, &QPushButton::clicked, this, [this] {
        QList<int> rows;
        for (const QModelIndex &index : m_fileList->selectionModel()->selectedRows())
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        downloadFilesInBackground(rows);
    });
    connect(m_fileList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { downloadFilesInBackground({m_fileList->row(item)}); });
    connect(m_advancedButton, &QRadioButton::toggled, this,
            [this](bool advanced) { setAdvancedMode(advanced); });
    connect(m_scanButton, &QPushButton::clicked, this, [this] { scanInBackground(); });
    connect(m_doneButton, &QPushButton::clicked, this, [this] { doImageCaptureDone(); });
}

void TWDeviceController::update()
{
    loadView();
    // SANE and libgphoto2 are asked one thing at a time.
    waitForWork();
    QList<TWCaptureDevice> devices;
    {
        BusyCursor busy;
        devices = m_cameras->cameras();
        devices += m_scanners->scanners();
    }
    m_devices = devices;
    m_listing = true;
    m_deviceList->clear();
    int keep = -1;
    for (int row = 0; row < m_devices.size(); ++row) {
        const TWCaptureDevice &device = m_devices[row];
        auto *item = new QListWidgetItem(QIcon::fromTheme(device.kind == TWCaptureDevice::Camera
                                                              ? QStringLiteral("camera-photo")
                                                              : QStringLiteral("scanner")),
                                         device.name, m_deviceList);
        item->setToolTip(device.location);
        if (m_selected && m_selected->identifier == device.identifier)
            keep = row;
    }
    if (keep >= 0)
        m_deviceList->setCurrentRow(keep);
    m_listing = false;
    if (auto *empty = qobject_cast<QLabel *>(m_deviceContainer->widget(EmptyView)))
        empty->setText(TWLocalized(m_devices.isEmpty() ? "deviceNoDevices" : "deviceNoDevice"));
    // A device that went away leaves the empty view; one still there keeps its view.
    if (keep < 0) {
        m_selected.reset();
        m_files.clear();
        m_fileList->clear();
        showView(EmptyView);
    }
}

void TWDeviceController::beginSheet(std::function<void(int)> completion)
{
    update();
    m_completion = std::move(completion);
    m_open = true;
    if (!m_businessController) {
        m_view->show();
        return;
    }
    m_businessController->beginSheetWithView(m_view, true, true, [this](int code) {
        m_open = false;
        if (auto done = std::move(m_completion))
            done(code);
        emit ended(code);
    });
}

int TWDeviceController::shownView() const
{
    return m_deviceContainer ? m_deviceContainer->currentIndex() : EmptyView;
}

void TWDeviceController::showView(int which)
{
    loadView();
    m_deviceContainer->setCurrentIndex(which);
}

void TWDeviceController::selectDevice(int row)
{
    loadView();
    if (m_busy)
        return;
    if (m_deviceList->currentRow() != row) {
        m_listing = true;
        m_deviceList->setCurrentRow(row);
        m_listing = false;
    }
    // The other view lets go of its device first.
    m_files.clear();
    m_fileList->clear();
    m_resolutionBox->clear();
    m_modeBox->clear();
    if (row < 0 || row >= m_devices.size()) {
        m_selected.reset();
        showView(EmptyView);
        return;
    }
    const TWCaptureDevice device = m_devices[row];
    m_selected = device;
    if (device.kind == TWCaptureDevice::Camera) {
        showView(CameraView);
        TWResult<QList<TWCameraFile>> files;
        {
            BusyCursor busy;
            files = m_cameras->files(device);
        }
        if (files.error) {
            deviceError(*files.error);
            return;
        }
        m_files = files.value;
        for (const TWCameraFile &file : m_files) {
            auto *item = new QListWidgetItem(QIcon::fromTheme(QStringLiteral("image-x-generic")),
                                             file.name, m_fileList);
            item->setToolTip(file.folder);
        }
        m_downloadButton->setEnabled(!m_files.isEmpty());
        return;
    }
    if (device.kind == TWCaptureDevice::Scanner) {
        showView(ScannerView);
        m_scannerLabel->setText(device.name);
        TWResult<TWScannerOptions> options;
        {
            BusyCursor busy;
            options = m_scanners->options(device);
        }
        if (options.error) {
            deviceError(*options.error);
            return;
        }
        for (int resolution : options.value.resolutions)
            m_resolutionBox->addItem(QString::number(resolution), resolution);
        m_resolutionBox->setCurrentIndex(m_resolutionBox->findData(options.value.resolution));
        m_modeBox->addItems(options.value.modes);
        m_modeBox->setCurrentIndex(m_modeBox->findText(options.value.mode));
        return;
    }
    m_selected.reset();
    showView(EmptyView);
}

void TWDeviceController::setAdvancedMode(bool advanced)
{
    loadView();
    if (m_advancedButton->isChecked() != advanced)
        (advanced ? m_advancedButton : m_simpleButton)->setChecked(true);
    m_advancedBox->setEnabled(advanced);
}

void TWDeviceController::downloadFiles(const QList<int> &rows)
{
    startDownload(rows, false);
}

void TWDeviceController::downloadFilesInBackground(const QList<int> &rows)
{
    startDownload(rows, true);
}

void TWDeviceController::scan()
{
    startScan(false);
}

void TWDeviceController::scanInBackground()
{
    startScan(true);
}

void TWDeviceController::startDownload(const QList<int> &rows, bool background)
{
    if (m_busy || !m_selected || m_selected->kind != TWCaptureDevice::Camera)
        return;
    QList<TWCameraFile> files;
    for (int row : rows)
        if (row >= 0 && row < m_files.size())
            files.append(m_files[row]);
    if (files.isEmpty())
        return;
    // Each download gets a folder of its own, so that the camera's names stay.
    const QString folder = TWUtilities::utilities().temporaryFilePath();
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        presentError(TWError(QStringLiteral("Tallyworth Capture Error"), -1,
                             TWLocalized("captureDownloadFailed").arg(folder)));
        return;
    }
    const TWCaptureDevice camera = *m_selected;
    TWCameraDevices *cameras = m_cameras.get();
    runWork(background, [this, cameras, camera, files, folder]() -> std::function<void()> {
        QList<TWResult<QString>> paths;
        for (const TWCameraFile &file : files)
            paths.append(cameras->download(camera, file, folder));
        return [this, paths] {
            // One failed file is reported; the others still come.
            for (const TWResult<QString> &path : paths) {
                if (path.error)
                    presentError(*path.error);
                else
                    addFile(path.value, 0, QFileInfo(path.value).fileName());
            }
        };
    });
}

void TWDeviceController::startScan(bool background)
{
    if (m_busy || !m_selected || m_selected->kind != TWCaptureDevice::Scanner)
        return;
    std::optional<TWScanSettings> settings;
    if (m_advancedButton->isChecked())
        settings = TWScanSettings{m_resolutionBox->currentData().toInt(), m_modeBox->currentText()};
    const QString path = TWUtilities::utilities().temporaryFilePath(QStringLiteral("png"));
    const TWCaptureDevice scanner = *m_selected;
    TWScannerDevices *scanners = m_scanners.get();
    runWork(background, [this, scanners, scanner, settings, path]() -> std::function<void()> {
        TWResult<QImage> page = scanners->scan(scanner, settings);
        const bool written = !page.error && !path.isEmpty() && page.value.save(path, "PNG");
        return [this, error = page.error, written, path] {
            if (error) {
                presentError(*error);
                return;
            }
            if (!written) {
                presentError(TWError(QStringLiteral("Tallyworth Capture Error"), -1,
                                     TWLocalized("captureScanWriteFailed")));
                return;
            }
            const QString name =
                m_delegate
                    ? m_delegate->uniqueAttachmentName(TWLocalized("photo"), QStringLiteral("png"))
                    : QFileInfo(path).fileName();
            addFile(path, 1, name);
        };
    });
}

void TWDeviceController::addFile(const QString &path, std::uint32_t type, const QString &name)
{
    if (m_delegate)
        m_delegate->deviceControllerAddAttachmentURL(QUrl::fromLocalFile(path), type, name);
}

void TWDeviceController::doImageCaptureDone()
{
    endSheet(TWSheetResult::Confirmed);
}

void TWDeviceController::deviceError(const TWError &error)
{
    // The failed device is let go: the next opening starts from the empty view.
    m_selected.reset();
    m_listing = true;
    m_deviceList->setCurrentRow(-1);
    m_listing = false;
    showView(EmptyView);
    endSheet(TWSheetResult::Cancelled);
    presentError(error);
}

void TWDeviceController::endSheet(TWSheetResult result)
{
    if (!m_open)
        return;
    m_open = false;
    if (m_businessController) {
        m_businessController->endSheet(m_view, result);
        return;
    }
    m_view->hide();
    if (auto done = std::move(m_completion))
        done(sheetReturnCode(result));
    emit ended(sheetReturnCode(result));
}

void TWDeviceController::presentError(const TWError &error)
{
    if (m_businessController)
        m_businessController->presentError(error);
}
