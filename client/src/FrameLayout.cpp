#include "FrameLayout.h"

#include <algorithm>

namespace vek::internal {

int NormalLinkMode(int mode) { return std::clamp(mode, 1, 5); }

int LengthFieldSize(int mode)
{
    mode = NormalLinkMode(mode);
    if (mode == kShortCodeMode)
        return 0;
    return mode == 1 ? 1 : 2;
}

int CommandIndex(int mode)
{
    switch (NormalLinkMode(mode)) {
    case 1: return 1;
    case 2: return 2;
    case 3: return 0;
    case 4: return 3;
    default: return 4;
    }
}

bool Crc16Matches(std::span<const uint8_t> frame)
{
    if (frame.size() < 2)
        return false;
    uint16_t crc = 0;
    for (uint8_t b : frame.first(frame.size() - 2)) {
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = ((crc ^ b) & 1) != 0;
            crc = static_cast<uint16_t>(crc >> 1);
            if (mix)
                crc ^= 0xD003;
            b = static_cast<uint8_t>(b >> 1);
        }
    }
    return frame[frame.size() - 2] == (crc >> 8) && frame[frame.size() - 1] == (crc & 0xFF);
}

bool SumMatches(std::span<const uint8_t> bytes, size_t from, size_t to, uint8_t sum)
{
    uint8_t total = 0;
    for (size_t i = from; i < to; ++i)
        total = static_cast<uint8_t>(total + bytes[i]);
    return total == sum;
}

} // namespace vek::internal
