#pragma once
// The picture taker: a sheet with the live view of the default camera and a
// button taking a still, which is handed back as a QImage (the owner writes
// it). Without a camera an alert says so and the sheet does not open.

#include "app/TWSheetResult.h"
#include "platform/capture/TWCameraCapture.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QWidget;
class TWBusinessController;

class TWCameraSheet : public QObject
{
    Q_OBJECT
public:
    explicit TWCameraSheet(std::unique_ptr<TWCameraCapture> capture = nullptr,
                           QObject *parent = nullptr);
    ~TWCameraSheet() override;

    void setBusinessController(TWBusinessController *controller)
    {
        m_businessController = controller;
    }

    // Opens the sheet on the default camera (the first when none is marked
    // default). The completion gets Confirmed with image() set, or Cancelled (also at
    // once, after the alert, when there is no camera or it did not start).
    void beginSheet(std::function<void(int)> completion);
    QImage image() const { return m_image; }
    QWidget *view();

    // The buttons' actions.
    void takePicture();
    void cancel();

    QPushButton *takeButton() const { return m_takeButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    TWCameraCapture *capture() const { return m_capture.get(); }

signals:
    void pictureTaken(const QImage &image);
    void ended(int returnCode);

private:
    void loadView();
    void finish(TWSheetResult result);

    std::unique_ptr<TWCameraCapture> m_capture;
    TWBusinessController *m_businessController = nullptr;
    QPointer<QWidget> m_view;
    QWidget *m_preview = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_takeButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QImage m_image;
    bool m_open = false;
    std::function<void(int)> m_completion;
};
