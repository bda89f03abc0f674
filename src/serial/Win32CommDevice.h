// A serial device over the Win32 communications API: COM ports opened as
// \\.\COMn with overlapped I/O, a reader thread on WaitCommEvent.
#pragma once

#include "serial/SerialDevice.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace vek {

// Opens the port with no sharing and closes it again: COM ports are
// exclusive, so this tells whether it could be had right now.
bool ProbeCommPort(const std::string& path, std::string* error = nullptr);

class Win32CommDevice final : public SerialDevice {
public:
    Win32CommDevice() = default;
    ~Win32CommDevice() override;
    Win32CommDevice(const Win32CommDevice&) = delete;
    Win32CommDevice& operator=(const Win32CommDevice&) = delete;

    void SetSink(DeviceSink* sink) override { m_sink = sink; }
    bool Open(const std::string& path, const std::string& settings) override;
    void Close() override;
    bool IsOpen() const override { return m_port.load() != INVALID_HANDLE_VALUE; }
    bool IsGone() const override { return m_gone.load(); }
    bool ApplySettings(const std::string& settings) override;
    bool Write(std::span<const uint8_t> bytes) override;
    uint32_t ModemLines() const override;
    void DiscardInput() override;
    void SetDtr(bool on) override;
    bool Probe(const std::string& path) override { return ProbeCommPort(path, nullptr); }
    std::string LastError() const override;

private:
    bool Configure(HANDLE port, const std::string& settings);
    bool StartReader(HANDLE port);
    void ReaderLoop(HANDLE port);
    // One WaitCommEvent; false when the reader must end.
    bool WaitForEvents(HANDLE port, OVERLAPPED& ov, DWORD& events);
    // Reads exactly what the driver holds; false when the device has gone.
    bool ReadWaiting(HANDLE port, OVERLAPPED& ov);
    void ReportEvents(DWORD events, DWORD errors);
    // Close has asked the reader to end.
    bool Stopping() const;
    void MarkGone();
    void SetError(std::string text);

    DeviceSink* m_sink = nullptr;
    std::atomic<HANDLE> m_port{INVALID_HANDLE_VALUE};
    HANDLE m_stop = nullptr; // manual-reset: wakes the reader to end
    std::atomic<bool> m_gone{false};
    std::atomic<bool> m_hasModemLines{false};
    std::atomic<bool> m_txPending{false};
    std::atomic<bool> m_dtr{true};
    std::thread m_reader;
    mutable std::mutex m_errorMutex;
    std::string m_lastError;
};

} // namespace vek
