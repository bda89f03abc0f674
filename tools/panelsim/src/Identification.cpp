#include "panelsim/Identification.h"

#include "panelsim/Checksums.h"

#include <algorithm>
#include <array>
#include <bit>

namespace panelsim {
namespace {

// Types the host reads without checking the block's CRC.
bool UncheckedType(uint8_t type)
{
    static constexpr std::array<uint8_t, 8> kUnchecked{0, 1, 4, 7, 8, 9, 10, 11};
    return std::find(kUnchecked.begin(), kUnchecked.end(), type) != kUnchecked.end();
}

uint8_t VersionWithFlag(const Identification& ident)
{
    return static_cast<uint8_t>((ident.version & 0xFE) | (ident.flags & 0x01));
}

// What a 7-bit line with even parity makes of the bytes.
void AddEvenParity(std::vector<uint8_t>& bytes)
{
    for (uint8_t& b : bytes) {
        const uint8_t low = b & 0x7F;
        b = static_cast<uint8_t>(low | ((std::popcount(low) & 1) << 7));
    }
}

std::vector<uint8_t> Block02(const Identification& ident)
{
    std::vector<uint8_t> block{0x02,
                               0x02,
                               0x02,
                               ident.type,
                               ident.version,
                               ident.subVersion,
                               ident.idBytes[0],
                               ident.idBytes[1],
                               ident.flags,
                               ident.idBytes[2],
                               ident.extra[0]};
    const int length = std::clamp(ident.block02Length, 11, 13);
    if (length == 12)
        block.push_back(ident.extra[1]);
    if (length == 13)
        AppendCrc16(block);
    return block;
}

std::vector<uint8_t> Block02Long(const Identification& ident)
{
    std::vector<uint8_t> block{0x02,
                               0x02,
                               0x02,
                               ident.type,
                               ident.version,
                               ident.subVersion,
                               ident.extra[2],
                               ident.extra[1],
                               ident.extra[0],
                               ident.idBytes[0],
                               ident.idBytes[1],
                               ident.flags,
                               0x00,
                               0x00};
    // The host tries the 13-byte layout first; a chance CRC match over the
    // first eleven bytes would make it stop there, so avoid one.
    if (!UncheckedType(ident.type)) {
        const uint16_t shortCrc = Crc16(std::span(block).first(11));
        while (block[11] == (shortCrc >> 8) && block[12] == (shortCrc & 0xFF))
            ++block[12];
    }
    AppendCrc16(block);
    return block;
}

std::vector<uint8_t> Block04(const Identification& ident)
{
    std::vector<uint8_t> block{0x04,
                               0x04,
                               0x04,
                               0x00,
                               0x0E,
                               ident.type,
                               ident.version,
                               ident.subVersion,
                               ident.idBytes[0],
                               ident.idBytes[1],
                               ident.idBytes[2],
                               ident.extra[0],
                               ident.extra[1],
                               ident.extra[2],
                               0x00,
                               ident.flags,
                               0x00};
    AppendCrc16(block);
    return block;
}

std::vector<uint8_t> Frame07(const Identification& ident)
{
    std::vector<uint8_t> frame{0x07, ident.idBytes[0], ident.idBytes[1], VersionWithFlag(ident)};
    AppendSum8(frame);
    return frame;
}

std::vector<uint8_t> Frame55(const Identification& ident)
{
    std::vector<uint8_t> frame{0x55,           ident.extra[0], ident.extra[1], ident.idBytes[0], ident.idBytes[1],
                               ident.extra[2], ident.version,  ident.flags};
    // The sum leaves out the first two bytes.
    frame.push_back(Sum8(std::span(frame).subspan(2)));
    return frame;
}

std::vector<uint8_t> Frame03(const Identification& ident)
{
    std::vector<uint8_t> frame{0x03, ident.idBytes[0], ident.idBytes[1], ident.extra[0], ident.version, ident.flags};
    AppendSum8(frame);
    // The host looks for this frame only in replies of eight bytes or more.
    frame.push_back(0x0D);
    return frame;
}

std::vector<uint8_t> ShortFormat(const Identification& ident)
{
    switch (ident.format) {
    case IdentFormat::ShortReply: return {ident.idBytes[0], ident.idBytes[1], VersionWithFlag(ident)};
    case IdentFormat::Frame07: return Frame07(ident);
    case IdentFormat::Frame55: return Frame55(ident);
    default: return Frame03(ident);
    }
}

constexpr std::array<std::pair<IdentFormat, std::string_view>, 7> kNames{{
    {IdentFormat::Block02, "02"},
    {IdentFormat::Block02Long, "02-16"},
    {IdentFormat::Block04, "04"},
    {IdentFormat::ShortReply, "short"},
    {IdentFormat::Frame07, "07"},
    {IdentFormat::Frame55, "55"},
    {IdentFormat::Frame03, "03"},
}};

} // namespace

std::vector<uint8_t> EncodeIdentification(const Identification& ident)
{
    if (ident.format == IdentFormat::Block02 || ident.format == IdentFormat::Block02Long) {
        std::vector<uint8_t> block = ident.format == IdentFormat::Block02 ? Block02(ident) : Block02Long(ident);
        if (ident.sevenBitLine)
            AddEvenParity(block);
        return block;
    }
    if (ident.format == IdentFormat::Block04)
        return Block04(ident);
    std::vector<uint8_t> reply;
    if (ident.lineBreakFirst)
        reply = {0x0D, 0x0A};
    const std::vector<uint8_t> body = ShortFormat(ident);
    reply.insert(reply.end(), body.begin(), body.end());
    return reply;
}

std::optional<IdentFormat> IdentFormatFromName(std::string_view name)
{
    for (const auto& [format, text] : kNames)
        if (text == name)
            return format;
    return std::nullopt;
}

std::string_view IdentFormatName(IdentFormat format)
{
    for (const auto& [f, text] : kNames)
        if (f == format)
            return text;
    return "?";
}

uint8_t ReportedType(const Identification& ident)
{
    switch (ident.format) {
    case IdentFormat::ShortReply: return 0xE4;
    case IdentFormat::Frame07: return 0xE2;
    case IdentFormat::Frame55: return 0xE9;
    case IdentFormat::Frame03: return 0xEA;
    default: return ident.type;
    }
}

uint8_t ReportedVersion(const Identification& ident)
{
    if (ident.format == IdentFormat::ShortReply || ident.format == IdentFormat::Frame07)
        return ident.version & 0xFE;
    return ident.version;
}

bool AsksForLongCommandForm(const Identification& ident)
{
    if (ident.format != IdentFormat::Block02 && ident.format != IdentFormat::Block02Long)
        return false;
    const int t = ident.type;
    return t == 14 || t == 16 || t == 18 || t == 22 || t == 23 || t == 24 || t == 26 || (t >= 32 && t <= 47) ||
           (t >= 49 && t <= 54);
}

bool AsksForPacedDirectLink(const Identification& ident)
{
    return AsksForLongCommandForm(ident) && ident.type == 18 && ident.version < 32;
}

} // namespace panelsim
