#include "link/FramesLong.h"

#include "link/Crc16.h"
#include "link/Sum8.h"

namespace vek {

int NormalizedLinkMode(int linkMode) { return linkMode > 5 ? 5 : linkMode; }

int LongFrameHeaderSize(int linkMode)
{
    switch (NormalizedLinkMode(linkMode)) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 3;
    case 5: return 4;
    default: return 0;
    }
}

std::optional<std::vector<uint8_t>> BuildLongFrame(
    int linkMode, uint8_t route, uint8_t subAddress, uint8_t command, std::span<const uint8_t> payload)
{
    const int mode = NormalizedLinkMode(linkMode);
    if (mode != 1 && mode != 2 && mode != 4 && mode != 5) {
        return std::nullopt;
    }
    const size_t extra = mode == 5 ? 2 : mode == 4 ? 1 : 0;
    const size_t length = extra + 1 + payload.size() + 2; // after the length field, CRC included
    const size_t limit = mode == 1 ? 0xFF : 0xFFFF;
    if (length > limit) {
        return std::nullopt;
    }

    std::vector<uint8_t> frame;
    frame.reserve(length + 2);
    if (mode != 1) {
        frame.push_back(static_cast<uint8_t>(length >> 8));
    }
    frame.push_back(static_cast<uint8_t>(length));
    if (mode == 5) {
        frame.push_back(route);
    }
    if (mode >= 4) {
        frame.push_back(subAddress);
    }
    frame.push_back(command);
    frame.insert(frame.end(), payload.begin(), payload.end());
    const uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc));
    return frame;
}

std::vector<uint8_t> BuildShortFrame(uint8_t code, std::span<const uint8_t> payload)
{
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + 2);
    frame.push_back(code);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(Sum8(frame));
    return frame;
}

} // namespace vek
