#include "serial/CCommCtrl.h"

#include "platform/LineFigures.h"
#include "platform/Paths.h"
#include "platform/Trace.h"

#include <algorithm>

namespace vek {

CCommCtrl::~CCommCtrl()
{
    // The reader thread reports into this object: stop it first.
    if (m_device)
        m_device->Close();
}

bool CCommCtrl::Create(std::unique_ptr<SerialDevice> device)
{
    if (m_device)
        m_device->Close();
    m_device = std::move(device);
    if (!m_device)
        return false;
    m_device->SetSink(this);
    return true;
}

void CCommCtrl::SetEventWindow(HWND window, UINT message)
{
    m_eventMessage = message;
    m_eventWindow = window;
    m_receivePending = false;
    m_sendPending = false;
}

bool CCommCtrl::GetDSRHolding() const { return m_device && m_device->IsOpen() && m_device->DsrHolding(); }

void CCommCtrl::SetDTREnable(bool on)
{
    m_dtrEnable = on;
    if (m_device)
        m_device->SetDtr(on);
}

int16_t CCommCtrl::GetInBufferCount() const
{
    std::lock_guard lock(m_inMutex);
    return static_cast<int16_t>(m_inBuffer.size());
}

void CCommCtrl::ClearInput()
{
    std::lock_guard lock(m_inMutex);
    m_inBuffer.clear();
    m_overflowReported = false;
}

void CCommCtrl::SetInBufferCount(int16_t count)
{
    if (count != 0)
        return;
    if (m_device && m_device->IsOpen())
        m_device->DiscardInput();
    ClearInput();
}

bool CCommCtrl::GetPortOpen() const { return m_device && m_device->IsOpen(); }

bool CCommCtrl::SetPortOpen(bool open)
{
    if (!m_device)
        return false;
    if (!open) {
        m_device->Close();
        ClearInput();
        m_receivePending = false;
        return true;
    }
    if (m_device->IsOpen())
        return true;
    const std::string path = PortDevicePath(m_commPort);
    if (path.empty())
        return false;
    ClearInput();
    m_receivePending = false;
    m_device->SetDtr(m_dtrEnable);
    return m_device->Open(path, GetSettings());
}

bool CCommCtrl::SetSettings(const std::string& settings)
{
    if (m_device && m_device->IsOpen() && !m_device->ApplySettings(settings))
        return false;
    std::lock_guard lock(m_settingsMutex);
    m_settings = settings;
    return true;
}

std::string CCommCtrl::GetSettings() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_settings;
}

bool CCommCtrl::SetOutput(std::span<const uint8_t> bytes)
{
    if (!m_device)
        return false;
    // Counted and traced before the write: the peer can answer, and the host
    // hear of it, before Write returns.
    TraceBytes("TX", bytes);
    CountSent(bytes);
    if (m_device->Write(bytes))
        return true;
    CountUnsent(bytes);
    TraceLine("TX not sent: " + m_device->LastError());
    return false;
}

std::string CCommCtrl::GetInput()
{
    std::lock_guard lock(m_inMutex);
    const size_t wanted = m_inputLen > 0 ? static_cast<size_t>(m_inputLen) : m_inBuffer.size();
    const size_t n = std::min(wanted, m_inBuffer.size());
    std::string text(m_inBuffer.begin(), m_inBuffer.begin() + static_cast<std::ptrdiff_t>(n));
    m_inBuffer.erase(m_inBuffer.begin(), m_inBuffer.begin() + static_cast<std::ptrdiff_t>(n));
    if (m_inBuffer.size() < kInBufferCapacity)
        m_overflowReported = false;
    return text;
}

void CCommCtrl::BeginEvent(int16_t code)
{
    // Cleared before the handler reads, so bytes arriving from now on post
    // a new event.
    if (code == COMM_EV_RECEIVE)
        m_receivePending = false;
    if (code == COMM_EV_SEND)
        m_sendPending = false;
    m_commEvent = code;
}

bool CCommCtrl::IsDeviceGone() const { return m_device && m_device->IsOpen() && m_device->IsGone(); }

void CCommCtrl::WaitForLineChange(uint32_t ms)
{
    m_evLineChange.Reset();
    WaitForEvent(m_evLineChange, ms);
}

std::string CCommCtrl::LastError() const { return m_device ? m_device->LastError() : std::string(); }

bool CCommCtrl::Post(int16_t code)
{
    const HWND window = m_eventWindow;
    return window != 0 && PostMessageA(window, m_eventMessage, static_cast<WPARAM>(static_cast<uint16_t>(code)), 0);
}

void CCommCtrl::OnReceived(std::span<const uint8_t> bytes)
{
    TraceBytes("RX", bytes);
    CountReceived(bytes);
    bool overflow = false;
    {
        std::lock_guard lock(m_inMutex);
        const size_t room = kInBufferCapacity - m_inBuffer.size();
        const size_t kept = std::min(room, bytes.size());
        m_inBuffer.insert(m_inBuffer.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(kept));
        overflow = kept < bytes.size() && !m_overflowReported.exchange(true);
    }
    if (overflow)
        Post(COMM_ER_RX_OVER);
    if (m_rThreshold > 0 && !m_receivePending.exchange(true) && !Post(COMM_EV_RECEIVE))
        m_receivePending = false;
}

void CCommCtrl::OnLineEvent(int16_t code)
{
    if (code >= COMM_EV_CTS && code <= COMM_EV_RING)
        m_evLineChange.Set();
    Post(code);
}

void CCommCtrl::OnSendDrained()
{
    if (m_sThreshold > 0 && !m_sendPending.exchange(true) && !Post(COMM_EV_SEND))
        m_sendPending = false;
}

void CCommCtrl::OnDeviceGone()
{
    // DSR has dropped with the device: one last line event, then silence.
    m_evLineChange.Set();
    Post(COMM_EV_DSR);
}

} // namespace vek
