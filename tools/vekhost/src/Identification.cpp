#include "vekhost/Identification.h"

#include "vekhost/HexDump.h"

#include "vek_comm2.h"

#include <cstdio>

namespace vekhost {
namespace {

// Where the 220-byte block keeps each field.
constexpr size_t kType = 0;
constexpr size_t kVersion = 2;
constexpr size_t kSubVersion = 4;
constexpr size_t kFlags = 6;
constexpr size_t kIdByte3 = 8;
constexpr size_t kIdByte2 = 9;
constexpr size_t kIdByte1 = 10;
constexpr size_t kExtra1 = 11;
constexpr size_t kReply = 20;

int Get16(std::span<const uint8_t> block, size_t offset) { return block[offset] | block[offset + 1] << 8; }

} // namespace

IdentificationInfo DecodeIdentification(std::span<const uint8_t> block)
{
    IdentificationInfo info;
    if (block.size() < VEK_IDENTIFICATION_SIZE)
        return info;
    info.type = Get16(block, kType);
    info.version = Get16(block, kVersion);
    info.subVersion = Get16(block, kSubVersion);
    info.flags = Get16(block, kFlags);
    info.idBytes = {block[kIdByte1], block[kIdByte2], block[kIdByte3]};
    info.extra = {block[kExtra1], block[kExtra1 + 1], block[kExtra1 + 2]};
    info.reply = TrimReply(block.subspan(kReply));
    return info;
}

std::vector<uint8_t> TrimReply(std::span<const uint8_t> raw)
{
    size_t end = raw.size();
    while (end > 0 && raw[end - 1] == 0)
        --end;
    return {raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(end)};
}

std::string DescribeIdentification(const IdentificationInfo& info)
{
    char text[128];
    std::snprintf(text, sizeof text, "type %d, version %d.%d, identification %02X %02X %02X, flags 0x%02X", info.type,
                  info.version, info.subVersion, info.idBytes[0], info.idBytes[1], info.idBytes[2], info.flags);
    return text;
}

} // namespace vekhost
