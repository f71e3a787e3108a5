#pragma once
// A camera or scanner as the device list shows it: the identifier its library
// opens it by, the name the user sees and whether it is a camera or a scanner.

#include <QString>

#include <cstdint>

struct TWCaptureDevice {
    enum Kind : std::uint32_t { Camera = 1, Scanner = 2 };
    // What the owning library opens the device by (a SANE device name, or a
    // libgphoto2 model and port joined by a newline).
    QString identifier;
    QString name;
    // Where it sits: "usb:001,004", "net:host:..." or a folder; for display only.
    QString location;
    std::uint32_t kind = Camera;

    bool operator==(const TWCaptureDevice &other) const = default;
};
