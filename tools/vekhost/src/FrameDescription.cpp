#include "vekhost/FrameDescription.h"

#include "vek/client.hpp"

#include "panelsim/Checksums.h"
#include "panelsim/Frames.h"

#include <cctype>
#include <cstdio>

namespace vekhost {
namespace {

std::string Hex(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string Count(size_t n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

std::string Letter(uint8_t command)
{
    std::string text = Hex(command, 2);
    if (std::isalpha(command))
        text = std::string("'") + static_cast<char>(command) + "' " + text;
    return text;
}

// Modem lines: printable text with line ends, shown as its lines.
std::string ModemText(std::span<const uint8_t> bytes)
{
    std::string lines;
    std::string line;
    bool letters = false;
    for (const uint8_t b : bytes) {
        if (b == '\r' || b == '\n') {
            if (!line.empty())
                lines += (lines.empty() ? "" : " / ") + line;
            line.clear();
            continue;
        }
        if (b < 0x20 || b > 0x7E)
            return {};
        letters = letters || std::isalpha(b);
        line += static_cast<char>(b);
    }
    if (!line.empty())
        lines += (lines.empty() ? "" : " / ") + line;
    if (lines == "+++")
        return "escape to command mode";
    return letters ? "modem: " + lines : std::string();
}

std::string ControlName(uint8_t command)
{
    switch (command) {
    case 0x22: return "session open";
    case 0xF2: return "link request";
    case 0x54: return "hang-up";
    case 0x55: return "keep-alive";
    case 0x56: return "speed up to 1200";
    case 0x53: return "speed to 300";
    case 0x58: return "speed change (long form)";
    default: return {};
    }
}

std::string LongFrame(const TrafficContext& c, TraceKind direction, std::span<const uint8_t> b)
{
    const int mode = panelsim::NormalLinkMode(c.linkMode);
    const size_t header = static_cast<size_t>(panelsim::LengthFieldSize(mode));
    const size_t at = static_cast<size_t>(panelsim::CommandIndex(mode));
    if (b.size() < at + 3)
        return {};
    const size_t length = header == 1 ? b[0] : static_cast<size_t>(b[0] << 8 | b[1]);
    if (header + length != b.size())
        return {};
    const std::string check = panelsim::Crc16Matches(b) ? "CRC good" : "CRC BAD";
    const uint8_t command = b[at];
    const std::span<const uint8_t> payload = b.subspan(at + 1, b.size() - at - 3);
    std::string text;
    if (direction == TraceKind::Received) {
        if (command == 0x50)
            text = "acknowledged ('P')";
        else if (command == 0x51 && !payload.empty())
            text = "refused ('Q'), reason " + std::to_string(payload[0]);
        else
            text = "reply " + Letter(command) + ", " + Count(payload.size(), "data byte");
    } else if (const std::string name = ControlName(command); !name.empty() && (mode < 5 || b[2] == 0x25)) {
        text = name;
    } else {
        const size_t countBytes = mode == 1 ? 1 : 2;
        if (command == c.readCommand && payload.size() == 2 + countBytes) {
            const unsigned count = countBytes == 1 ? payload[2] : (payload[2] << 8 | payload[3]);
            text = "read " + Letter(command) + " at " + Hex(payload[0] << 8 | payload[1], 4) + ", count " +
                   std::to_string(count);
        } else if (payload.size() >= 2) {
            text = "command " + Letter(command) + " at " + Hex(payload[0] << 8 | payload[1], 4) + " with " +
                   Count(payload.size() - 2, "data byte");
        } else {
            text = "command " + Letter(command);
        }
    }
    std::string where;
    if (mode >= 4)
        where = ", sub-address " + Hex(b[at - 1], 2);
    return text + " (length " + std::to_string(length) + where + ", " + check + ")";
}

std::string ShortFrame(const TrafficContext& c, TraceKind direction, std::span<const uint8_t> b)
{
    const uint8_t code = b[0];
    const std::string check = panelsim::Sum8Matches(b) ? "sum good" : "sum BAD";
    if (code == 0x45 && b.size() == 3 && direction == TraceKind::Received)
        return "refused ('E'), reason byte " + std::to_string(b[1]) + " (" + check + ")";
    if (code == 0x00 && b.size() == 2)
        return "keep-alive (" + check + ")";
    if ((code == 0x02 || code == 0x07) && b.size() == 2)
        return std::string(code == 0x02 ? "hang-up" : "link request") + " (" + check + ")";
    const int carries = panelsim::ShortChunk(code);
    if (panelsim::ShortReplyLength(code) == 255)
        return {};
    const std::string name = code == 0x01 ? "session open" : "code " + Hex(code, 2);
    if (direction == TraceKind::Received)
        return name + " reply, " + Count(b.size() - 2, "data byte") + " (" + check + ")";
    const size_t addressBytes = c.twoByteAddress ? 2 : 1;
    if (code == 0x01 || b.size() < 2 + addressBytes)
        return name + " (" + check + ")";
    const unsigned address = c.twoByteAddress ? (b[1] << 8 | b[2]) : b[1];
    const size_t data = b.size() - 2 - addressBytes;
    return name + " (" + Count(static_cast<size_t>(carries), "byte") + ") at " + Hex(address, c.twoByteAddress ? 4 : 2) +
           (data > 0 ? ", writes " + std::to_string(data) : std::string()) + " (" + check + ")";
}

bool IdentificationBlock(std::span<const uint8_t> b)
{
    if (b.size() < 11)
        return false;
    const bool block02 = (b[0] & 0x7F) == 2 && (b[1] & 0x7F) == 2 && (b[2] & 0x7F) == 2;
    const bool block04 = b[0] == 4 && b[1] == 4 && b[2] == 4;
    return block02 || block04;
}

} // namespace

std::string DescribeBytes(const TrafficContext& context, TraceKind direction, std::span<const uint8_t> bytes)
{
    if (bytes.empty() || direction == TraceKind::Step)
        return {};
    if (std::string text = ModemText(bytes); !text.empty())
        return text;
    if (direction == TraceKind::Received && IdentificationBlock(bytes))
        if (const vek::Identification ident = vek::decodeIdentification(bytes, false); !ident.format.empty())
            return "identification: type " + std::to_string(ident.type) + " version " +
                   std::to_string(ident.version) + " (" + ident.format + ")";
    if (panelsim::NormalLinkMode(context.linkMode) == panelsim::kShortCodeMode)
        return ShortFrame(context, direction, bytes);
    return LongFrame(context, direction, bytes);
}

} // namespace vekhost
