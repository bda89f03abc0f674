#include "Hex.h"

#include <cstdio>

namespace vek::internal {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool IsHexText(std::string_view text)
{
    for (const char c : text)
        if (HexDigit(c) < 0)
            return false;
    return true;
}

std::optional<std::vector<uint8_t>> ParseSpacedHex(std::string_view text)
{
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            return std::nullopt;
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        i += 2;
        if (i < text.size() && text[i] != ' ')
            return std::nullopt;
    }
    return bytes;
}

std::string HexBytes(std::span<const uint8_t> bytes, size_t limit)
{
    std::string text;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        text += (i == 0 ? "" : " ") + std::string(hex);
    }
    if (bytes.size() > limit)
        text += " ...";
    return text;
}

} // namespace vek::internal
