#include "ledger/TWCameraSheet.h"

#include "app/TWAlert.h"
#include "app/TWBusinessController.h"
#include "foundation/TWLocalized.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QVBoxLayout>

TWCameraSheet::TWCameraSheet(std::unique_ptr<TWCameraCapture> capture, QObject *parent)
    : QObject(parent), m_capture(capture ? std::move(capture) : twMakeCameraCapture())
{
    connect(m_capture.get(), &TWCameraCapture::stillCaptured, this, [this](const QImage &image) {
        if (!m_open)
            return;
        if (image.isNull()) {
            m_takeButton->setEnabled(true);
            return;
        }
        m_image = image;
        emit pictureTaken(image);
        finish(TWSheetResult::Confirmed);
    });
    connect(m_capture.get(), &TWCameraCapture::failed, this, [this](const TWError &error) {
        if (!m_open)
            return;
        // A still that failed may be tried again; the sheet stays.
        m_takeButton->setEnabled(true);
        if (m_businessController)
            m_businessController->presentError(error);
    });
}

TWCameraSheet::~TWCameraSheet()
{
    m_capture->stop();
    delete m_view;
}

QWidget *TWCameraSheet::view()
{
    loadView();
    return m_view;
}

void TWCameraSheet::loadView()
{
    if (m_view)
        return;
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWCameraSheet"));
    m_preview = m_capture->makePreview(m_view);
    m_preview->setMinimumSize(480, 360);
    m_status = new QLabel(m_view);
    m_takeButton = new QPushButton(TWLocalized("takePicture"), m_view);
    m_takeButton->setIcon(QIcon::fromTheme(QStringLiteral("camera-photo")));
    m_takeButton->setDefault(true);
    m_cancelButton = new QPushButton(TWLocalized("cancel"), m_view);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_takeButton);
    auto *layout = new QVBoxLayout(m_view);
    layout->addWidget(m_preview, 1);
    layout->addLayout(buttons);
    connect(m_takeButton, &QPushButton::clicked, this, [this] { takePicture(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
}

void TWCameraSheet::beginSheet(std::function<void(int)> completion)
{
    m_image = QImage();
    const QList<TWCameraInput> cameras = m_capture->cameras();
    if (cameras.isEmpty()) {
        TWAlert alert;
        alert.message = TWLocalized("captureNoCamera");
        alert.buttons = {TWLocalized("ok")};
        alert.window = m_businessController ? m_businessController->windowForSheet() : nullptr;
        twRunAlert(alert, [completion = std::move(completion), this](int) {
            if (completion)
                completion(sheetReturnCode(TWSheetResult::Cancelled));
            emit ended(sheetReturnCode(TWSheetResult::Cancelled));
        });
        return;
    }
    auto chosen = std::find_if(cameras.begin(), cameras.end(),
                               [](const TWCameraInput &camera) { return camera.isDefault; });
    if (chosen == cameras.end())
        chosen = cameras.begin();
    loadView();
    if (TWErrorResult error = m_capture->start(chosen->identifier)) {
        if (m_businessController)
            m_businessController->presentError(*error);
        if (completion)
            completion(sheetReturnCode(TWSheetResult::Cancelled));
        emit ended(sheetReturnCode(TWSheetResult::Cancelled));
        return;
    }
    m_status->setText(chosen->name);
    m_takeButton->setEnabled(true);
    m_completion = std::move(completion);
    m_open = true;
    if (!m_businessController) {
        m_view->show();
        return;
    }
    m_businessController->beginSheetWithView(m_view, true, true, [this](int code) {
        if (m_open) {
            // Closed from outside (Escape).
            m_open = false;
            m_capture->stop();
            code = sheetReturnCode(TWSheetResult::Cancelled);
        }
        if (auto done = std::move(m_completion))
            done(code);
        emit ended(code);
    });
}

void TWCameraSheet::takePicture()
{
    if (!m_open)
        return;
    m_takeButton->setEnabled(false);
    m_capture->captureStill();
}

void TWCameraSheet::cancel()
{
    if (m_open)
        finish(TWSheetResult::Cancelled);
}

void TWCameraSheet::finish(TWSheetResult result)
{
    m_open = false;
    m_capture->stop();
    if (m_businessController) {
        m_businessController->endSheet(m_view, result);
        return;
    }
    m_view->hide();
    if (auto done = std::move(m_completion))
        done(sheetReturnCode(result));
    emit ended(sheetReturnCode(result));
}
