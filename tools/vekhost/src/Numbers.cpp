#include "vekhost/Numbers.h"

#include <cctype>
#include <limits>

namespace vekhost {
namespace {

int DigitValue(char c, int base)
{
    const unsigned char u = static_cast<unsigned char>(c);
    int value = base;
    if (std::isdigit(u))
        value = c - '0';
    else if (std::isxdigit(u))
        value = std::tolower(u) - 'a' + 10;
    return value < base ? value : -1;
}

} // namespace

std::optional<uint64_t> ParseUnsigned(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0)
            return std::nullopt;
        if (value > (std::numeric_limits<uint64_t>::max() - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base))
            return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return value;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text)
{
    std::vector<uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == ',' || c == '_') {
            if (high >= 0)
                return std::nullopt; // a separator inside a pair
            continue;
        }
        const int digit = DigitValue(c, 16);
        if (digit < 0)
            return std::nullopt;
        if (high < 0) {
            high = digit;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
        high = -1;
    }
    if (high >= 0 || bytes.empty())
        return std::nullopt;
    return bytes;
}

bool IsHexText(std::string_view text)
{
    for (const char c : text)
        if (DigitValue(c, 16) < 0)
            return false;
    return true;
}

} // namespace vekhost
