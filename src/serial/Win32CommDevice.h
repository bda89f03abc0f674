// A serial device over the Win32 communications API: COM ports opened as
// \\.\COMn with overlapped I/O, a reader thread on WaitCommEvent.
#pragma once

#include "serial/SerialDevice.h"
#include "serial/win/BoundedThread.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace vek {

struct CommReaderLink;

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
    friend class CommReader;

    bool Configure(HANDLE port, const std::string& settings);
    bool StartReader(HANDLE port);
    // Cuts off a reader that did not end in time; it may still be in the driver.
    void LetReaderGo();
    // From the reader thread, under the link's lock.
    void ReportReceived(std::span<const uint8_t> bytes);
    void ReportEvents(DWORD events, DWORD errors);
    void MarkGone();
    void SetError(std::string text);

    DeviceSink* m_sink = nullptr;
    std::atomic<HANDLE> m_port{INVALID_HANDLE_VALUE};
    // Open and Close only; the reader holds its own copy.
    std::shared_ptr<CommReaderLink> m_link;
    BoundedThread m_reader;
    std::atomic<bool> m_gone{false};
    std::atomic<bool> m_hasModemLines{false};
    std::atomic<bool> m_txPending{false};
    std::atomic<bool> m_dtr{true};
    mutable std::mutex m_errorMutex;
    std::string m_lastError;
};

} // namespace vek
