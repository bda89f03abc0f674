// The panel's identification reply: what it sends when a call comes up.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace panelsim {

enum class IdentFormat {
    Block02,     // 02 02 02 block, 11, 12 or 13 bytes (13: CRC over the first 11)
    Block02Long, // 02 02 02 block of 16 bytes with extra bytes and a CRC over 14
    Block04,     // 04 04 04 block, 19 bytes, CRC
    ShortReply,  // three bytes: identification 1, 2, version with the flag in bit 0
    Frame07,     // 07 frame, 5 bytes, sum
    Frame55,     // 55 frame, 9 bytes, sum
    Frame03,     // 03 frame, 7 bytes, sum, then a carriage return
};

struct Identification {
    IdentFormat format = IdentFormat::Block02;
    uint8_t type = 19;
    uint8_t version = 2;
    uint8_t subVersion = 0;
    uint8_t flags = 0;                // bit 0: answer mode, bit 2: slow session open
    std::array<uint8_t, 3> idBytes{}; // identification bytes 1, 2, 3
    std::array<uint8_t, 3> extra{};   // extra bytes 1, 2, 3
    int block02Length = 13;           // Block02 only: 11, 12 or 13
    bool sevenBitLine = false;        // 02 blocks: even parity in bit 7 of every byte
    bool lineBreakFirst = false;      // CR LF in front of the short formats
};

std::vector<uint8_t> EncodeIdentification(const Identification& ident);

std::optional<IdentFormat> IdentFormatFromName(std::string_view name);
std::string_view IdentFormatName(IdentFormat format);

// Type and version as the host decodes them: the short formats stand for
// fixed types, and carry the answer-mode flag in bit 0 of the version.
uint8_t ReportedType(const Identification& ident);
uint8_t ReportedVersion(const Identification& ident);

// The host switches to the long command form (and, on a direct link, to
// fourteen fillers after each byte) for these panels once it reads their
// 02 02 02 block.
bool AsksForLongCommandForm(const Identification& ident);

// ... and to paced bytes without fillers for type 18 below version 32.
bool AsksForPacedDirectLink(const Identification& ident);

} // namespace panelsim
