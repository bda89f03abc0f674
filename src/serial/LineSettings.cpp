#include "serial/LineSettings.h"

#include "vek_comm2.h"

#include <charconv>
#include <cstdio>

namespace vek {

std::string FormatLineSettings(int32_t speed, int stopBits)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%d,%c,%d,%d", static_cast<int>(speed), 'N', 8, stopBits);
    return text;
}

namespace {

bool TakeNumber(std::string_view& text, int64_t& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data())
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

bool TakeComma(std::string_view& text)
{
    if (text.empty() || text.front() != ',')
        return false;
    text.remove_prefix(1);
    return true;
}

} // namespace

std::optional<LineSettings> ParseLineSettings(std::string_view text)
{
    LineSettings s;
    int64_t speed = 0, data = 0, stop = 0;
    if (!TakeNumber(text, speed) || !TakeComma(text) || text.empty())
        return std::nullopt;
    s.parity = static_cast<char>(text.front() & ~0x20); // upper case
    text.remove_prefix(1);
    if (!TakeComma(text) || !TakeNumber(text, data) || !TakeComma(text) || !TakeNumber(text, stop) || !text.empty())
        return std::nullopt;
    if (speed <= 0 || speed > 4000000 || data < 5 || data > 8 || (stop != 1 && stop != 2))
        return std::nullopt;
    if (s.parity != 'N' && s.parity != 'E' && s.parity != 'O')
        return std::nullopt;
    s.speed = static_cast<int32_t>(speed);
    s.dataBits = static_cast<int>(data);
    s.stopBits = static_cast<int>(stop);
    return s;
}

} // namespace vek
