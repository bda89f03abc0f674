#include "serial/ScriptedDevice.h"

#include "platform/Clock.h"

namespace vek {

bool ScriptedDevice::Open(const std::string& path, const std::string& settings)
{
    std::lock_guard lock(m_mutex);
    if (m_openFails)
        return false;
    m_open = true;
    m_path = path;
    m_settings = settings;
    return true;
}

void ScriptedDevice::Close()
{
    std::lock_guard lock(m_mutex);
    m_open = false;
}

bool ScriptedDevice::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool ScriptedDevice::ApplySettings(const std::string& settings)
{
    std::lock_guard lock(m_mutex);
    m_settings = settings;
    return m_open;
}

bool ScriptedDevice::Write(std::span<const uint8_t> bytes)
{
    const uint64_t now = NowMs();
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return false;
    for (const uint8_t b : bytes)
        m_written.push_back({now, b});
    return true;
}

bool ScriptedDevice::DsrHolding() const
{
    std::lock_guard lock(m_mutex);
    return m_dsr;
}

void ScriptedDevice::DiscardInput()
{
    std::lock_guard lock(m_mutex);
    ++m_discards;
}

void ScriptedDevice::SetDsr(bool held)
{
    std::lock_guard lock(m_mutex);
    m_dsr = held;
}

void ScriptedDevice::SetOpenFails(bool fails)
{
    std::lock_guard lock(m_mutex);
    m_openFails = fails;
}

std::vector<WrittenByte> ScriptedDevice::Written() const
{
    std::lock_guard lock(m_mutex);
    return m_written;
}

std::vector<uint8_t> ScriptedDevice::WrittenBytes() const
{
    std::lock_guard lock(m_mutex);
    std::vector<uint8_t> bytes;
    bytes.reserve(m_written.size());
    for (const auto& w : m_written)
        bytes.push_back(w.value);
    return bytes;
}

std::string ScriptedDevice::OpenedPath() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

std::string ScriptedDevice::CurrentSettings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

int ScriptedDevice::DiscardCount() const
{
    std::lock_guard lock(m_mutex);
    return m_discards;
}

} // namespace vek
