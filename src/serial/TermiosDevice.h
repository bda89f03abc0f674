// A serial device over termios: real ports (/dev/ttyS*, /dev/ttyUSB*,
// /dev/ttyACM*) and pseudo-terminals.
#pragma once

#include "serial/SerialDevice.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace vek {

// Opens path read-write, non-blocking, without making it the controlling
// terminal, takes an exclusive flock and closes it again.
bool ProbeDevicePath(const std::string& path, std::string* error = nullptr);

class TermiosDevice final : public SerialDevice {
public:
    TermiosDevice() = default;
    ~TermiosDevice() override;
    TermiosDevice(const TermiosDevice&) = delete;
    TermiosDevice& operator=(const TermiosDevice&) = delete;

    void SetSink(DeviceSink* sink) override { m_sink = sink; }
    bool Open(const std::string& path, const std::string& settings) override;
    void Close() override;
    bool IsOpen() const override { return m_fd.load() >= 0; }
    bool IsGone() const override { return m_gone.load(); }
    bool ApplySettings(const std::string& settings) override;
    bool Write(std::span<const uint8_t> bytes) override;
    uint32_t ModemLines() const override;
    void DiscardInput() override;
    void SetDtr(bool on) override;
    bool Probe(const std::string& path) override { return ProbeDevicePath(path, nullptr); }
    std::string LastError() const override;

private:
    bool Configure(int fd, const std::string& settings);
    void ReaderLoop();
    void MarkGone();
    void SetError(std::string text);
    // Line state and error counters, read by the reader thread only.
    void CheckLines(int fd);

    DeviceSink* m_sink = nullptr;
    std::atomic<int> m_fd{-1};
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::atomic<bool> m_gone{false};
    std::atomic<bool> m_hasModemLines{false};
    std::atomic<bool> m_txPending{false};
    std::atomic<bool> m_dtr{true};
    std::thread m_reader;
    mutable std::mutex m_errorMutex;
    std::string m_lastError;
    // Reader thread only.
    int m_lastLines = 0;
    bool m_haveCounts = false;
    int m_counts[4] = {};
};

} // namespace vek
