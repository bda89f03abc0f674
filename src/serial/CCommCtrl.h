// The communications control: the twelve properties the library uses, over
// a serial device. Received bytes wait in the control's input buffer; each
// event is posted, by its code, to one window, whose handler calls
// BeginEvent and then reads the properties. Nothing else touches the port.
#pragma once

#include "platform/Event.h"
#include "serial/SerialDevice.h"
#include "vek_comm2.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace vek {

// Posted to the event window with wParam the event code; private to the
// library (WM_USER + 100).
inline constexpr UINT WM_VEK_COMM_EVENT = 0x0400 + 100;

class CCommCtrl final : private DeviceSink {
public:
    // Received bytes the control keeps; InBufferCount must fit 16 bits.
    static constexpr size_t kInBufferCapacity = 32767;

    CCommCtrl() = default;
    ~CCommCtrl() override;
    CCommCtrl(const CCommCtrl&) = delete;
    CCommCtrl& operator=(const CCommCtrl&) = delete;

    // Creates the control over a device; false when there is none.
    bool Create(std::unique_ptr<SerialDevice> device);
    bool IsCreated() const { return m_device != nullptr; }
    SerialDevice* Device() { return m_device.get(); }
    // Where events go: PostMessageA(window, message, code, 0). 0: nowhere.
    void SetEventWindow(HWND window, UINT message = WM_VEK_COMM_EVENT);

    int16_t GetCommPort() const { return m_commPort; }
    void SetCommPort(int16_t port) { m_commPort = port; }
    bool GetDSRHolding() const;
    // Carrier detect; a device without modem lines never holds it.
    bool GetCDHolding() const { return m_device && m_device->IsOpen() && (m_device->ModemLines() & LINE_CD) != 0; }
    void SetDTREnable(bool on);
    bool GetDTREnable() const { return m_dtrEnable; }
    int16_t GetInBufferCount() const;
    // 0 discards every waiting byte, here and in the device.
    void SetInBufferCount(int16_t count);
    void SetInputLen(int16_t n) { m_inputLen = n; }
    int16_t GetInputLen() const { return m_inputLen; }
    bool GetPortOpen() const;
    // Opens the device mapped to CommPort with Settings; false on failure.
    bool SetPortOpen(bool open);
    void SetRThreshold(int16_t n) { m_rThreshold = n; }
    int16_t GetRThreshold() const { return m_rThreshold; }
    // Takes effect at once on an open port; false when the device refused
    // the text, which then leaves the line as it was.
    bool SetSettings(const std::string& settings);
    std::string GetSettings() const;
    void SetSThreshold(int16_t n) { m_sThreshold = n; }
    int16_t GetSThreshold() const { return m_sThreshold; }
    // Transmits bytes; false when the device refused them.
    bool SetOutput(std::span<const uint8_t> bytes);
    // Removes up to InputLen bytes (0: all) from the input buffer.
    std::string GetInput();
    int16_t GetCommEvent() const { return m_commEvent; }

    // The event window's handler calls this with the posted code before it
    // reads CommEvent and Input.
    void BeginEvent(int16_t code);
    // Open, but the device has disappeared.
    bool IsDeviceGone() const;
    // Waits on the library clock until a modem line changes or ms pass.
    void WaitForLineChange(uint32_t ms);
    std::string LastError() const;

private:
    void OnReceived(std::span<const uint8_t> bytes) override;
    void OnLineEvent(int16_t code) override;
    void OnSendDrained() override;
    void OnDeviceGone() override;
    // False when there is no window to take the event.
    bool Post(int16_t code);
    void ClearInput();

    std::unique_ptr<SerialDevice> m_device;
    std::atomic<HWND> m_eventWindow{0};
    std::atomic<UINT> m_eventMessage{WM_VEK_COMM_EVENT};
    std::atomic<int16_t> m_commPort{1};
    std::atomic<bool> m_dtrEnable{false};
    std::atomic<int16_t> m_rThreshold{0};
    std::atomic<int16_t> m_sThreshold{0};
    std::atomic<int16_t> m_inputLen{0};
    std::atomic<int16_t> m_commEvent{0};
    // One receive event waits in the window's queue at a time: its handler
    // reads everything, so more would only flood the queue.
    std::atomic<bool> m_receivePending{false};
    std::atomic<bool> m_sendPending{false};
    std::atomic<bool> m_overflowReported{false};
    Event m_evLineChange{Event::Kind::ManualReset};
    mutable std::mutex m_settingsMutex;
    std::string m_settings = "9600,N,8,1";
    mutable std::mutex m_inMutex;
    std::deque<uint8_t> m_inBuffer;
};

} // namespace vek
