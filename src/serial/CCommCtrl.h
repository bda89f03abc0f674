// The communications control: the properties the library uses, over a
// serial device. Nothing else touches the port.
#pragma once

#include "serial/SerialDevice.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace vek {

class CCommCtrl {
public:
    // Creates the control over a device; false when there is none.
    bool Create(std::unique_ptr<SerialDevice> device);
    bool IsCreated() const { return m_device != nullptr; }
    SerialDevice* Device() { return m_device.get(); }

    int16_t GetCommPort() const { return m_commPort; }
    void SetCommPort(int16_t port) { m_commPort = port; }
    bool GetDSRHolding() const;
    void SetDTREnable(bool on) { m_dtrEnable = on; }
    bool GetDTREnable() const { return m_dtrEnable; }
    void SetInBufferCount(int16_t count);
    bool GetPortOpen() const;
    // Opens the device mapped to CommPort with Settings; false on failure.
    bool SetPortOpen(bool open);
    void SetRThreshold(int16_t n) { m_rThreshold = n; }
    int16_t GetRThreshold() const { return m_rThreshold; }
    void SetSettings(const std::string& settings);
    const std::string& GetSettings() const { return m_settings; }
    void SetSThreshold(int16_t n) { m_sThreshold = n; }
    int16_t GetSThreshold() const { return m_sThreshold; }
    // Transmits bytes; false when the device refused them.
    bool SetOutput(std::span<const uint8_t> bytes);

private:
    std::unique_ptr<SerialDevice> m_device;
    std::atomic<int16_t> m_commPort{1};
    std::atomic<bool> m_dtrEnable{false};
    std::atomic<int16_t> m_rThreshold{0};
    std::atomic<int16_t> m_sThreshold{0};
    std::string m_settings = "9600,N,8,1";
};

} // namespace vek
