// Where the capture services come from: the platform's implementations, or
// the makers a test installed.

#include "platform/capture/TWAudioCapture.h"
#include "platform/capture/TWCameraCapture.h"
#include "platform/capture/TWCameraDevices.h"
#include "platform/capture/TWScannerDevices.h"

std::unique_ptr<TWAudioCapture> twMakeQtAudioCapture();
std::unique_ptr<TWCameraCapture> twMakeQtCameraCapture();

namespace
{
std::function<std::unique_ptr<TWAudioCapture>()> &audioMaker()
{
    static std::function<std::unique_ptr<TWAudioCapture>()> maker;
    return maker;
}
std::function<std::unique_ptr<TWCameraCapture>()> &cameraMaker()
{
    static std::function<std::unique_ptr<TWCameraCapture>()> maker;
    return maker;
}
std::function<std::unique_ptr<TWCameraDevices>()> &cameraDevicesMaker()
{
    static std::function<std::unique_ptr<TWCameraDevices>()> maker;
    return maker;
}
std::function<std::unique_ptr<TWScannerDevices>()> &scannerDevicesMaker()
{
    static std::function<std::unique_ptr<TWScannerDevices>()> maker;
    return maker;
}
} // namespace

std::unique_ptr<TWAudioCapture> twMakeAudioCapture()
{
    return audioMaker() ? audioMaker()() : twMakeQtAudioCapture();
}
void twSetAudioCaptureMaker(std::function<std::unique_ptr<TWAudioCapture>()> maker)
{
    audioMaker() = std::move(maker);
}

std::unique_ptr<TWCameraCapture> twMakeCameraCapture()
{
    return cameraMaker() ? cameraMaker()() : twMakeQtCameraCapture();
}
void twSetCameraCaptureMaker(std::function<std::unique_ptr<TWCameraCapture>()> maker)
{
    cameraMaker() = std::move(maker);
}

std::unique_ptr<TWCameraDevices> twMakeCameraDevices()
{
    if (cameraDevicesMaker())
        return cameraDevicesMaker()();
    return std::make_unique<TWGPhotoCameraDevices>();
}
void twSetCameraDevicesMaker(std::function<std::unique_ptr<TWCameraDevices>()> maker)
{
    cameraDevicesMaker() = std::move(maker);
}

std::unique_ptr<TWScannerDevices> twMakeScannerDevices()
{
    if (scannerDevicesMaker())
        return scannerDevicesMaker()();
    return std::make_unique<TWSaneScannerDevices>();
}
void twSetScannerDevicesMaker(std::function<std::unique_ptr<TWScannerDevices>()> maker)
{
    scannerDevicesMaker() = std::move(maker);
}
