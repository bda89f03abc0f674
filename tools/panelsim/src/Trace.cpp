#include "Trace.h"

#include "panelsim/Time.h"

namespace panelsim {
namespace {

unsigned long long MillisSinceStart()
{
    static const Time start = Clock::now();
    return static_cast<unsigned long long>(std::chrono::duration_cast<Millis>(Clock::now() - start).count());
}

} // namespace

Trace::~Trace()
{
    if (m_ownsFile)
        std::fclose(m_file);
}

bool Trace::Open(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    if (path.empty())
        return true;
    if (path == "-") {
        m_file = stderr;
        return true;
    }
    m_file = std::fopen(path.c_str(), "a");
    m_ownsFile = m_file != nullptr;
    return m_file != nullptr;
}

void Trace::Line(std::string_view text)
{
    std::lock_guard lock(m_mutex);
    if (m_file == nullptr)
        return;
    std::fprintf(m_file, "%10llu %.*s\n", MillisSinceStart(), static_cast<int>(text.size()), text.data());
    std::fflush(m_file);
}

void Trace::Bytes(std::string_view direction, std::span<const uint8_t> bytes)
{
    if (m_file == nullptr || bytes.empty())
        return;
    std::string line(direction);
    line += ' ';
    line += HexBytes(bytes);
    Line(line);
}

std::string HexBytes(std::span<const uint8_t> bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const uint8_t b : bytes) {
        if (!text.empty())
            text += ' ';
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return text;
}

} // namespace panelsim
