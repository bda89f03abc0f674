#include "serial/ScriptedDevice.h"

#include "platform/Clock.h"
#include "serial/LineSettings.h"

#include <algorithm>

namespace vek {
namespace {

// Written text kept for reply matching; longer triggers make no sense.
constexpr size_t kMatchWindow = 256;

} // namespace

void ScriptedDevice::SetSink(DeviceSink* sink)
{
    std::lock_guard lock(m_mutex);
    m_sink = sink;
}

bool ScriptedDevice::SpeedRefused(const std::string& settings) const
{
    const auto parsed = ParseLineSettings(settings);
    return !parsed || std::find(m_refusedSpeeds.begin(), m_refusedSpeeds.end(), parsed->speed) != m_refusedSpeeds.end();
}

bool ScriptedDevice::Open(const std::string& path, const std::string& settings)
{
    std::lock_guard lock(m_mutex);
    if (m_openFails || SpeedRefused(settings)) {
        m_lastError = "open refused";
        return false;
    }
    m_open = true;
    m_gone = false;
    ++m_opens;
    m_path = path;
    m_settings = settings;
    return true;
}

void ScriptedDevice::Close()
{
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_gone = false;
}

bool ScriptedDevice::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool ScriptedDevice::IsGone() const
{
    std::lock_guard lock(m_mutex);
    return m_open && m_gone;
}

bool ScriptedDevice::ApplySettings(const std::string& settings)
{
    std::lock_guard lock(m_mutex);
    if (!m_open || m_gone || SpeedRefused(settings)) {
        m_lastError = "settings refused: " + settings;
        return false;
    }
    m_settings = settings;
    return true;
}

bool ScriptedDevice::Write(std::span<const uint8_t> bytes)
{
    const uint64_t now = NowMs();
    std::vector<std::string> received;
    DeviceSink* sink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open || m_gone)
            return false;
        for (const uint8_t b : bytes) {
            m_written.push_back({now, b});
            m_sinceMatch.push_back(static_cast<char>(b));
        }
        if (m_sinceMatch.size() > kMatchWindow)
            m_sinceMatch.erase(0, m_sinceMatch.size() - kMatchWindow);
        for (const Reply& r : m_replies) {
            if (m_sinceMatch.size() >= r.trigger.size() &&
                m_sinceMatch.compare(m_sinceMatch.size() - r.trigger.size(), r.trigger.size(), r.trigger) == 0) {
                received = r.pieces;
                m_sinceMatch.clear();
                break;
            }
        }
        sink = m_sink;
    }
    if (sink) {
        for (const std::string& piece : received)
            sink->OnReceived({reinterpret_cast<const uint8_t*>(piece.data()), piece.size()});
        sink->OnSendDrained();
    }
    return true;
}

uint32_t ScriptedDevice::ModemLines() const
{
    std::lock_guard lock(m_mutex);
    return (m_open && !m_gone) ? m_lines : 0;
}

void ScriptedDevice::DiscardInput()
{
    std::lock_guard lock(m_mutex);
    ++m_discards;
}

void ScriptedDevice::SetDtr(bool on)
{
    std::lock_guard lock(m_mutex);
    m_dtr = on;
}

bool ScriptedDevice::Probe(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    return !path.empty() && !m_probeFails && !m_openFails;
}

std::string ScriptedDevice::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void ScriptedDevice::ChangeLine(uint32_t bit, bool on, int16_t code)
{
    DeviceSink* sink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        const bool was = (m_lines & bit) != 0;
        m_lines = on ? (m_lines | bit) : (m_lines & ~bit);
        if (was != on && m_open && !m_gone && (code != COMM_EV_RING || on))
            sink = m_sink;
    }
    if (sink)
        sink->OnLineEvent(code);
}

void ScriptedDevice::SetDsr(bool held) { ChangeLine(LINE_DSR, held, COMM_EV_DSR); }
void ScriptedDevice::SetCts(bool held) { ChangeLine(LINE_CTS, held, COMM_EV_CTS); }
void ScriptedDevice::SetCd(bool held) { ChangeLine(LINE_CD, held, COMM_EV_CD); }
void ScriptedDevice::SetRi(bool on) { ChangeLine(LINE_RI, on, COMM_EV_RING); }

void ScriptedDevice::SetOpenFails(bool fails)
{
    std::lock_guard lock(m_mutex);
    m_openFails = fails;
}

void ScriptedDevice::SetProbeFails(bool fails)
{
    std::lock_guard lock(m_mutex);
    m_probeFails = fails;
}

void ScriptedDevice::RefuseSpeed(int32_t speed)
{
    std::lock_guard lock(m_mutex);
    m_refusedSpeeds.push_back(speed);
}

void ScriptedDevice::AddReply(const std::string& trigger, std::vector<std::string> pieces)
{
    std::lock_guard lock(m_mutex);
    m_replies.push_back({trigger, std::move(pieces)});
}

void ScriptedDevice::ClearReplies()
{
    std::lock_guard lock(m_mutex);
    m_replies.clear();
}

void ScriptedDevice::Inject(const std::string& bytes)
{
    Inject(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

void ScriptedDevice::Inject(std::span<const uint8_t> bytes)
{
    DeviceSink* sink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_open && !m_gone)
            sink = m_sink;
    }
    if (sink && !bytes.empty())
        sink->OnReceived(bytes);
}

void ScriptedDevice::Vanish()
{
    DeviceSink* sink = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open || m_gone)
            return;
        m_gone = true;
        m_probeFails = true;
        sink = m_sink;
    }
    if (sink)
        sink->OnDeviceGone();
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

std::string ScriptedDevice::WrittenText() const
{
    const auto bytes = WrittenBytes();
    return {bytes.begin(), bytes.end()};
}

void ScriptedDevice::ClearWritten()
{
    std::lock_guard lock(m_mutex);
    m_written.clear();
    m_sinceMatch.clear();
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

int ScriptedDevice::OpenCount() const
{
    std::lock_guard lock(m_mutex);
    return m_opens;
}

bool ScriptedDevice::Dtr() const
{
    std::lock_guard lock(m_mutex);
    return m_dtr;
}

} // namespace vek
