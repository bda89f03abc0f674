// What the communications control needs from a serial device. A termios
// device talks to real ports; a scripted device stands in for tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vek {

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the device with the line settings text ("9600,N,8,2").
    virtual bool Open(const std::string& path, const std::string& settings) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Applies new line settings to an open device.
    virtual bool ApplySettings(const std::string& settings) = 0;
    // Writes all bytes; false when the device refused them.
    virtual bool Write(std::span<const uint8_t> bytes) = 0;
    // Data Set Ready; devices without modem lines report it held.
    virtual bool DsrHolding() const = 0;
    // Discards received bytes not yet read.
    virtual void DiscardInput() = 0;
};

} // namespace vek
