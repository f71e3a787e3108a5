#pragma once
// Scanners as SANE sees them, local and (through SANE's net backend) on the
// network: listing them, the resolutions and colour modes they offer and
// scanning one page into a QImage. twMakeScannerDevices() gives the SANE one;
// tests put in TWFakeScannerDevices.

#include "foundation/TWError.h"
#include "platform/capture/TWCaptureDevice.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// What the advanced mode can choose (empty lists: the device offers no choice).
struct TWScannerOptions {
    QList<int> resolutions;
    int resolution = 0;
    QStringList modes;
    QString mode;
};

// The advanced mode's choice; a zero resolution or empty mode keeps the device's.
struct TWScanSettings {
    int resolution = 0;
    QString mode;
};

class TWScannerDevices
{
public:
    virtual ~TWScannerDevices() = default;
    virtual QList<TWCaptureDevice> scanners() = 0;
    // The device's options; an error when the device cannot be opened.
    virtual TWResult<TWScannerOptions> options(const TWCaptureDevice &scanner) = 0;
    // One page at the device's defaults (no settings) or with the settings.
    virtual TWResult<QImage> scan(const TWCaptureDevice &scanner,
                                  const std::optional<TWScanSettings> &settings) = 0;
};

std::unique_ptr<TWScannerDevices> twMakeScannerDevices();
void twSetScannerDevicesMaker(std::function<std::unique_ptr<TWScannerDevices>()> maker);

// The SANE implementation. SANE is initialised while any of these lives (it
// reads SANE_CONFIG_DIR then); main thread only.
class TWSaneScannerDevices final : public TWScannerDevices
{
public:
    TWSaneScannerDevices();
    ~TWSaneScannerDevices() override;

    QList<TWCaptureDevice> scanners() override;
    TWResult<TWScannerOptions> options(const TWCaptureDevice &scanner) override;
    TWResult<QImage> scan(const TWCaptureDevice &scanner,
                          const std::optional<TWScanSettings> &settings) override;

private:
    bool m_initialised = false;
};
