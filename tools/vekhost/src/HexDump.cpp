#include "vekhost/HexDump.h"

#include <algorithm>
#include <cstdio>

namespace vekhost {
namespace {

constexpr size_t kBytesPerRow = 16;
constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& text, uint8_t b)
{
    text += kHex[b >> 4];
    text += kHex[b & 0xF];
}

} // namespace

std::string HexBytes(std::span<const uint8_t> bytes, size_t maxBytes)
{
    std::string text;
    const size_t shown = std::min(bytes.size(), maxBytes);
    for (size_t i = 0; i < shown; ++i) {
        if (i != 0)
            text += ' ';
        AppendHex(text, bytes[i]);
    }
    if (shown < bytes.size())
        text += " ...";
    return text;
}

std::string PrintableText(std::span<const uint8_t> bytes)
{
    std::string text;
    for (const uint8_t b : bytes)
        text += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    return text;
}

std::vector<std::string> HexDumpLines(uint32_t address, std::span<const uint8_t> bytes)
{
    std::vector<std::string> lines;
    for (size_t row = 0; row < bytes.size(); row += kBytesPerRow) {
        const auto part = bytes.subspan(row, std::min(kBytesPerRow, bytes.size() - row));
        char head[16];
        std::snprintf(head, sizeof head, "%04X ", static_cast<unsigned>(address + row) & 0xFFFFu);
        std::string line = head;
        for (size_t i = 0; i < kBytesPerRow; ++i) {
            line += i == kBytesPerRow / 2 ? "  " : " ";
            if (i < part.size())
                AppendHex(line, part[i]);
            else
                line += "  ";
        }
        line += "  |" + PrintableText(part) + "|";
        lines.push_back(line);
    }
    return lines;
}

} // namespace vekhost
