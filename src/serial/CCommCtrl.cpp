#include "serial/CCommCtrl.h"

#include "platform/Paths.h"

namespace vek {

bool CCommCtrl::Create(std::unique_ptr<SerialDevice> device)
{
    m_device = std::move(device);
    return m_device != nullptr;
}

bool CCommCtrl::GetDSRHolding() const { return m_device && m_device->IsOpen() && m_device->DsrHolding(); }

void CCommCtrl::SetInBufferCount(int16_t count)
{
    if (count == 0 && m_device && m_device->IsOpen())
        m_device->DiscardInput();
}

bool CCommCtrl::GetPortOpen() const { return m_device && m_device->IsOpen(); }

bool CCommCtrl::SetPortOpen(bool open)
{
    if (!m_device)
        return false;
    if (!open) {
        m_device->Close();
        return true;
    }
    if (m_device->IsOpen())
        return true;
    const std::string path = PortDevicePath(m_commPort);
    return !path.empty() && m_device->Open(path, m_settings);
}

void CCommCtrl::SetSettings(const std::string& settings)
{
    m_settings = settings;
    if (m_device && m_device->IsOpen())
        m_device->ApplySettings(settings);
}

bool CCommCtrl::SetOutput(std::span<const uint8_t> bytes) { return m_device && m_device->Write(bytes); }

} // namespace vek
