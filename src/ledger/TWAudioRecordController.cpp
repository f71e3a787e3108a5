#include "ledger/TWAudioRecordController.h"

#include "app/TWBusinessController.h"
#include "foundation/TWLocalized.h"
#include "model/TWFormatter.h"
#include "model/TWUtilities.h"
#include "store/TWBusiness.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
constexpr int kTimeSizeInterval = 100;
} // namespace

TWAudioRecordController::TWAudioRecordController(std::unique_ptr<TWAudioCapture> capture,
                                                 QObject *parent)
    : QObject(parent), m_capture(capture ? std::move(capture) : twMakeAudioCapture())
{
    connect(m_capture.get(), &TWAudioCapture::finished, this,
            [this](const std::optional<TWError> &error) { recordingFinished(error); });
    m_timer = new QTimer(this);
    m_timer->setInterval(kTimeSizeInterval);
    connect(m_timer, &QTimer::timeout, this, [this] { timeSizeTimerFired(); });
}

TWAudioRecordController::~TWAudioRecordController()
{
    // A recording still running when the document goes leaves nothing behind.
    if (m_started) {
        m_started = false;
        m_capture->stop();
        if (!m_recordingPath.isEmpty())
            QFile::remove(m_recordingPath);
    }
    delete m_view;
}

int TWAudioRecordController::sampleRateForQuality(quint32 quality)
{
    switch (quality) {
    case 0:
        return 8000;
    case 2:
        return 44100;
    default:
        return 22050;
    }
}

QWidget *TWAudioRecordController::view()
{
    loadView();
    return m_view;
}

void TWAudioRecordController::loadView()
{
    if (m_view)
        return;
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("TWAudioRecord"));
    m_settingsMenu = new QMenu(m_view);
    m_settingsButton = new QToolButton(m_view);
    m_settingsButton->setText(TWLocalized("voiceMemoSettings"));
    m_settingsButton->setIcon(QIcon::fromTheme(QStringLiteral("audio-input-microphone")));
    m_settingsButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_settingsButton->setPopupMode(QToolButton::InstantPopup);
    m_settingsButton->setMenu(m_settingsMenu);
    m_recordPauseButton = new QPushButton(m_view);
    m_recordPauseButton->setMinimumWidth(90);
    m_timeLabel = new QLabel(m_view);
    m_sizeLabel = new QLabel(m_view);
    QFont large = m_timeLabel->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setFamilies({QStringLiteral("monospace")});
    m_timeLabel->setFont(large);
    m_timeLabel->setMinimumWidth(110);
    m_sizeLabel->setMinimumWidth(80);
    m_sizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_cancelButton = new QPushButton(TWLocalized("cancel"), m_view);
    m_saveButton = new QPushButton(TWLocalized("save"), m_view);
    m_saveButton->setDefault(true);

    auto *top = new QHBoxLayout;
    top->addWidget(m_recordPauseButton);
    top->addWidget(m_timeLabel, 1);
    top->addWidget(m_sizeLabel);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_settingsButton);
    bottom->addStretch(1);
    bottom->addWidget(m_cancelButton);
    bottom->addWidget(m_saveButton);
    auto *layout = new QVBoxLayout(m_view);
    layout->addLayout(top);
    layout->addLayout(bottom);
    m_view->setMinimumWidth(380);

    connect(m_settingsMenu, &QMenu::triggered, this, [this](QAction *item) { doSettings(item); });
    connect(m_recordPauseButton, &QPushButton::clicked, this, [this] { doRecordPause(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { doSave(false); });
    connect(m_saveButton, &QPushButton::clicked, this, [this] { doSave(true); });
}

void TWAudioRecordController::showTimeSize(double seconds, qint64 bytes)
{
    const TWFormatter &formatter = TWFormatter::formatter();
    m_timeLabel->setText(formatter.timeString(seconds, true, 0));
    m_sizeLabel->setText(formatter.dataSizeString(std::uint64_t(std::max<qint64>(bytes, 0))));
}

void TWAudioRecordController::update()
{
    loadView();
    m_timer->stop();
    m_settingUp = true;
    m_started = false;
    m_stopping = false;
    m_saveAudioRecording = false;
    m_audioFileURL = QUrl();
    m_recordingPath.clear();
    showTimeSize(0, 0);

    const QList<TWAudioInput> inputs = m_capture->audioInputs();
    const bool kept = std::any_of(inputs.begin(), inputs.end(), [this](const TWAudioInput &input) {
        return input.identifier == m_input;
    });
    if (!kept)
        m_input = inputs.isEmpty() ? QByteArray() : inputs.first().identifier;
    rebuildSettingsMenu();
    updateDeviceInputSourceSelected();
    m_recordPauseButton->setText(TWLocalized("voiceMemoRecord"));
    m_recordPauseButton->setIcon(QIcon::fromTheme(QStringLiteral("media-record")));
    m_settingsButton->setEnabled(true);
    m_recordPauseButton->setEnabled(true);
    m_cancelButton->setEnabled(true);
    m_saveButton->setEnabled(false);
}

void TWAudioRecordController::rebuildSettingsMenu()
{
    m_settingsMenu->clear();
    QAction *header = m_settingsMenu->addAction(TWLocalized("voiceMemoMicrophones"));
    header->setData(int(TagHeader));
    header->setEnabled(false);
    for (const TWAudioInput &input : m_capture->audioInputs()) {
        // Device names are shown as they are, never as shortcut markers.
        QAction *item = m_settingsMenu->addAction(
            QString(input.name).replace(QLatin1Char('&'), QLatin1String("&&")));
        item->setCheckable(true);
        item->setData(int(TagInput));
        item->setProperty("inputIdentifier", input.identifier);
    }
    m_settingsMenu->addSeparator();
    header = m_settingsMenu->addAction(TWLocalized("voiceMemoQuality"));
    header->setData(int(TagHeader));
    header->setEnabled(false);
    const std::pair<Tag, const char *> qualities[] = {
        {TagLow, "voiceMemoLow"}, {TagMedium, "voiceMemoMedium"}, {TagHigh, "voiceMemoHigh"}};
    for (const auto &[tag, key] : qualities) {
        QAction *item = m_settingsMenu->addAction(TWLocalized(key));
        item->setCheckable(true);
        item->setData(int(tag));
    }
}

void TWAudioRecordController::updateDeviceInputSourceSelected()
{
    const quint32 quality = m_business ? m_business->voiceMemoAudioQuality() : 1;
    for (QAction *item : m_settingsMenu->actions()) {
        const int tag = item->data().toInt();
        if (item->isSeparator() || tag == TagHeader)
            continue;
        if (tag == TagInput)
            item->setChecked(item->property("inputIdentifier").toByteArray() == m_input);
        else
            item->setChecked(quint32(tag - TagLow) == quality);
        item->setEnabled(m_settingUp);
    }
}

void TWAudioRecordController::doSettings(QAction *item)
{
    if (!item || !m_settingUp)
        return;
    const int tag = item->data().toInt();
    if (tag == TagInput) {
        m_input = item->property("inputIdentifier").toByteArray();
    } else if (tag >= TagLow && tag <= TagHigh && m_business) {
        const quint32 quality = quint32(tag - TagLow);
        if (m_business->voiceMemoAudioQuality() != quality) {
            m_business->setVoiceMemoAudioQuality(quality);
            // The quality is kept with the document.
            if (m_businessController)
                m_businessController->updateChangeCount(0);
        }
    }
    updateDeviceInputSourceSelected();
}

void TWAudioRecordController::doRecordPause()
{
    if (m_stopping)
        return;
    if (m_input.isEmpty()) {
        presentError(TWError(QStringLiteral("Tallyworth Capture Error"), -1,
                             TWLocalized("captureNoMicrophone")));
        return;
    }
    if (!m_started) {
        const QString path = TWUtilities::utilities().temporaryFilePath(QStringLiteral("wav"));
        const int rate = sampleRateForQuality(m_business ? m_business->voiceMemoAudioQuality() : 1);
        if (TWErrorResult error = m_capture->record(m_input, rate, path)) {
            QFile::remove(path);
            presentError(*error);
            return;
        }
        // The choices are locked from the first recording on.
        m_settingUp = false;
        updateDeviceInputSourceSelected();
        m_saveButton->setEnabled(true);
        m_started = true;
        m_recordingPath = path;
        m_timer->start();
        m_recordPauseButton->setText(TWLocalized("voiceMemoPause"));
        m_recordPauseButton->setIcon(QIcon::fromTheme(QStringLiteral("media-playback-pause")));
        return;
    }
    if (m_capture->state() == TWAudioCapture::State::Paused) {
        m_timer->start();
        m_capture->resume();
        m_recordPauseButton->setText(TWLocalized("voiceMemoPause"));
        m_recordPauseButton->setIcon(QIcon::fromTheme(QStringLiteral("media-playback-pause")));
    } else if (m_capture->state() == TWAudioCapture::State::Recording) {
        m_capture->pause();
        m_timer->stop();
        m_recordPauseButton->setText(TWLocalized("voiceMemoRecord"));
        m_recordPauseButton->setIcon(QIcon::fromTheme(QStringLiteral("media-record")));
    }
}

void TWAudioRecordController::timeSizeTimerFired()
{
    if (!m_started || m_capture->state() != TWAudioCapture::State::Recording)
        return;
    showTimeSize(double(m_capture->duration()) / 1000.0, QFileInfo(m_recordingPath).size());
}

void TWAudioRecordController::doSave(bool save)
{
    if (m_stopping)
        return;
    m_timer->stop();
    m_saveAudioRecording = save;
    if (!m_started) {
        endSheet();
        return;
    }
    m_stopping = true;
    m_settingsButton->setEnabled(false);
    m_recordPauseButton->setEnabled(false);
    m_cancelButton->setEnabled(false);
    m_saveButton->setEnabled(false);
    // The capture reports the end (perhaps at once) through recordingFinished.
    m_capture->stop();
}

void TWAudioRecordController::recordingFinished(const std::optional<TWError> &error)
{
    if (!m_started)
        return;
    m_started = false;
    m_timer->stop();
    // A recording that ended in error is no memo, even when the user saved.
    if (m_saveAudioRecording && m_stopping && !error)
        m_audioFileURL = QUrl::fromLocalFile(m_recordingPath);
    else
        QFile::remove(m_recordingPath);
    endSheet();
    if (error)
        presentError(*error);
}

void TWAudioRecordController::endSheet()
{
    m_stopping = false;
    m_started = false;
    m_timer->stop();
    const int code = sheetReturnCode(m_audioFileURL.isValid() ? TWSheetResult::Confirmed
                                                              : TWSheetResult::Cancelled);
    if (!m_sheetOpen)
        return;
    m_sheetOpen = false;
    if (m_businessController) {
        m_businessController->endSheet(m_view, code);
        return;
    }
    if (m_view)
        m_view->hide();
    if (auto completion = std::move(m_completion))
        completion(code);
    emit ended(code);
}

void TWAudioRecordController::beginSheet(std::function<void(int)> completion)
{
    update();
    m_completion = std::move(completion);
    m_sheetOpen = true;
    if (!m_businessController) {
        m_view->show();
        return;
    }
    m_businessController->beginSheetWithView(m_view, false, true, [this](int code) {
        if (m_sheetOpen) {
            // Closed from outside (Escape): a cancel.
            m_sheetOpen = false;
            if (m_started) {
                m_started = false;
                m_timer->stop();
                m_capture->stop();
                QFile::remove(m_recordingPath);
            }
            m_audioFileURL = QUrl();
            code = sheetReturnCode(TWSheetResult::Cancelled);
        }
        if (auto done = std::move(m_completion))
            done(code);
        emit ended(code);
    });
}

void TWAudioRecordController::presentError(const TWError &error)
{
    if (m_businessController)
        m_businessController->presentError(error);
}
