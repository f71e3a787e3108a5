#pragma once
// The voice-memo sheet: choose a microphone and the quality (a document
// setting), record with pause and resume while time and size run, then save
// (ends Confirmed with audioFileURL, a WAV file) or cancel (Cancelled, no file left).

#include "platform/capture/TWAudioCapture.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class QWidget;
class TWBusiness;
class TWBusinessController;

class TWAudioRecordController : public QObject
{
    Q_OBJECT
public:
    // Settings-menu item tags.
    enum Tag { TagHeader = 0, TagInput = 1, TagLow = 2, TagMedium = 3, TagHigh = 4 };

    // Without a capture, the platform's (twMakeAudioCapture) is made.
    explicit TWAudioRecordController(std::unique_ptr<TWAudioCapture> capture = nullptr,
                                     QObject *parent = nullptr);
    ~TWAudioRecordController() override;

    void setBusiness(TWBusiness *business) { m_business = business; }
    TWBusiness *business() const { return m_business; }
    void setBusinessController(TWBusinessController *controller)
    {
        m_businessController = controller;
    }

    // Prepares a new use: no file, choices open, the kept microphone when it is
    // still there (else the first).
    void update();
    // update() and the sheet on the document; the completion gets Confirmed (with
    // audioFileURL set) or Cancelled.
    void beginSheet(std::function<void(int)> completion);
    QWidget *view();

    QUrl audioFileURL() const { return m_audioFileURL; }
    QByteArray selectedInput() const { return m_input; }
    bool isSettingUp() const { return m_settingUp; }
    // 8,000, 22,050 or 44,100 Hz for the stored quality 0, 1 or 2.
    static int sampleRateForQuality(quint32 quality);

    // The actions (also what the buttons and menu items do).
    void doSettings(QAction *item);
    void doRecordPause();
    void doSave(bool save);

    // For tests and the owner: the widgets.
    QMenu *settingsMenu() const { return m_settingsMenu; }
    QPushButton *recordPauseButton() const { return m_recordPauseButton; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QLabel *timeLabel() const { return m_timeLabel; }
    QLabel *sizeLabel() const { return m_sizeLabel; }
    QTimer *timeSizeTimer() const { return m_timer; }
    TWAudioCapture *capture() const { return m_capture.get(); }

signals:
    // The sheet ended with the code.
    void ended(int returnCode);

private:
    void loadView();
    void rebuildSettingsMenu();
    void updateDeviceInputSourceSelected();
    void timeSizeTimerFired();
    void recordingFinished(const std::optional<TWError> &error);
    void endSheet();
    void presentError(const TWError &error);
    void showTimeSize(double seconds, qint64 bytes);

    std::unique_ptr<TWAudioCapture> m_capture;
    TWBusiness *m_business = nullptr;
    TWBusinessController *m_businessController = nullptr;
    QPointer<QWidget> m_view;
    QToolButton *m_settingsButton = nullptr;
    QMenu *m_settingsMenu = nullptr;
    QPushButton *m_recordPauseButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QLabel *m_timeLabel = nullptr;
    QLabel *m_sizeLabel = nullptr;
    QTimer *m_timer = nullptr;

    QByteArray m_input;
    QString m_recordingPath;
    QUrl m_audioFileURL;
    bool m_settingUp = false;
    bool m_started = false;
    bool m_stopping = false;
    bool m_saveAudioRecording = false;
    bool m_sheetOpen = false;
    std::function<void(int)> m_completion;
};
