// An in-memory serial device for tests: settable modem lines and a record of
// every byte written with its time on the library's clock.
#pragma once

#include "serial/SerialDevice.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vek {

struct WrittenByte {
    uint64_t timeMs;
    uint8_t value;
};

class ScriptedDevice final : public SerialDevice {
public:
    bool Open(const std::string& path, const std::string& settings) override;
    void Close() override;
    bool IsOpen() const override;
    bool ApplySettings(const std::string& settings) override;
    bool Write(std::span<const uint8_t> bytes) override;
    bool DsrHolding() const override;
    void DiscardInput() override;

    // Test controls.
    void SetDsr(bool held);
    void SetOpenFails(bool fails);
    std::vector<WrittenByte> Written() const;
    std::vector<uint8_t> WrittenBytes() const;
    std::string OpenedPath() const;
    std::string CurrentSettings() const;
    int DiscardCount() const;

private:
    mutable std::mutex m_mutex;
    bool m_open = false;
    bool m_openFails = false;
    bool m_dsr = true;
    int m_discards = 0;
    std::string m_path;
    std::string m_settings;
    std::vector<WrittenByte> m_written;
};

} // namespace vek
