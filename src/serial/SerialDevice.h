// What the communications control needs from a serial device. A termios
// device talks to real ports and pseudo-terminals; a scripted device stands
// in for tests. The control cannot tell them apart.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vek {

// Modem input lines as a device reports them.
inline constexpr uint32_t LINE_CTS = 0x1;
inline constexpr uint32_t LINE_DSR = 0x2;
inline constexpr uint32_t LINE_CD = 0x4;
inline constexpr uint32_t LINE_RI = 0x8;

// Event codes of the control, as CommEvent reads them.
inline constexpr int16_t COMM_EV_SEND = 1;
inline constexpr int16_t COMM_EV_RECEIVE = 2;
inline constexpr int16_t COMM_EV_CTS = 3;
inline constexpr int16_t COMM_EV_DSR = 4;
inline constexpr int16_t COMM_EV_CD = 5;
inline constexpr int16_t COMM_EV_RING = 6;
inline constexpr int16_t COMM_EV_EOF = 7;
inline constexpr int16_t COMM_ER_BREAK = 1001;
inline constexpr int16_t COMM_ER_FRAME = 1004;
inline constexpr int16_t COMM_ER_OVERRUN = 1006;
inline constexpr int16_t COMM_ER_RX_OVER = 1008;
inline constexpr int16_t COMM_ER_PARITY = 1009;

// Where a device reports what happens on the line. Called from the device's
// own reader thread (or, for the scripted device, from whoever drives it),
// never with a device lock held.
class DeviceSink {
public:
    virtual ~DeviceSink() = default;
    virtual void OnReceived(std::span<const uint8_t> bytes) = 0;
    // A line change or line error, by its event code.
    virtual void OnLineEvent(int16_t code) = 0;
    // The output queue has drained after a write.
    virtual void OnSendDrained() = 0;
    // The device went away while open; called once, after which the device
    // reports nothing more.
    virtual void OnDeviceGone() = 0;
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Set once, before the first Open.
    virtual void SetSink(DeviceSink* sink) = 0;
    // Opens the device with the line settings text ("9600,N,8,2").
    virtual bool Open(const std::string& path, const std::string& settings) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Open, but the device has disappeared underneath (adapter pulled, peer
    // closed); writes fail and nothing more is received.
    virtual bool IsGone() const = 0;
    // Applies new line settings to an open device; false when refused, and
    // then the line keeps its previous settings.
    virtual bool ApplySettings(const std::string& settings) = 0;
    // Writes all bytes; false when the device refused them.
    virtual bool Write(std::span<const uint8_t> bytes) = 0;
    // LINE_* bits. Devices without modem lines report DSR held.
    virtual uint32_t ModemLines() const = 0;
    bool DsrHolding() const { return (ModemLines() & LINE_DSR) != 0; }
    // Discards received bytes not yet read.
    virtual void DiscardInput() = 0;
    // Data Terminal Ready while open.
    virtual void SetDtr(bool on) = 0;
    // Exclusive open-and-close: could the device be had right now?
    virtual bool Probe(const std::string& path) = 0;
    // Text of the last failure, for traces and reports.
    virtual std::string LastError() const = 0;
};

} // namespace vek
