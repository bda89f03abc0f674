#include "Identification.h"

#include "Causes.h"

#include "vek_comm2.h"

namespace vek::internal {
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

Identification DecodeIncoming(std::span<const uint8_t> block)
{
    Identification info;
    info.incoming = true;
    if (block.size() < VEK_IDENTIFICATION_SIZE)
        return info;
    info.type = Get16(block, kType);
    info.version = Get16(block, kVersion);
    info.subVersion = Get16(block, kSubVersion);
    info.flags = Get16(block, kFlags);
    info.idBytes = {block[kIdByte1], block[kIdByte2], block[kIdByte3]};
    info.extra = {block[kExtra1], block[kExtra1 + 1], block[kExtra1 + 2]};
    info.reply = TrimReply(block.subspan(kReply));
    if (const auto found = FindIdentification(info.reply))
        info.format = found->format;
    return info;
}

Identification DecodePlaced(std::span<const uint8_t> block)
{
    Identification info;
    info.reply = TrimReply(block);
    if (const auto found = FindIdentification(info.reply)) {
        info.type = found->type;
        info.version = found->version;
        info.format = found->format;
    }
    return info;
}

std::vector<uint8_t> TrimReply(std::span<const uint8_t> raw)
{
    size_t end = raw.size();
    while (end > 0 && raw[end - 1] == 0)
        --end;
    return {raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(end)};
}

} // namespace vek::internal
