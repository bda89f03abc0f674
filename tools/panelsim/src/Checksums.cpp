#include "panelsim/Checksums.h"

namespace panelsim {

uint16_t Crc16(std::span<const uint8_t> bytes)
{
    uint16_t crc = 0;
    for (uint8_t b : bytes) {
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = ((crc ^ b) & 1) != 0;
            crc = static_cast<uint16_t>(crc >> 1);
            if (mix)
                crc ^= 0xD003;
            b = static_cast<uint8_t>(b >> 1);
        }
    }
    return crc;
}

uint8_t Sum8(std::span<const uint8_t> bytes)
{
    unsigned sum = 0;
    for (const uint8_t b : bytes)
        sum += b;
    return static_cast<uint8_t>(sum);
}

void AppendCrc16(std::vector<uint8_t>& frame)
{
    const uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
}

void AppendSum8(std::vector<uint8_t>& frame) { frame.push_back(Sum8(frame)); }

bool Crc16Matches(std::span<const uint8_t> frameWithCrc)
{
    if (frameWithCrc.size() < 2)
        return false;
    const size_t n = frameWithCrc.size() - 2;
    const uint16_t crc = Crc16(frameWithCrc.first(n));
    return frameWithCrc[n] == (crc >> 8) && frameWithCrc[n + 1] == (crc & 0xFF);
}

bool Sum8Matches(std::span<const uint8_t> frameWithSum)
{
    if (frameWithSum.empty())
        return false;
    const size_t n = frameWithSum.size() - 1;
    return frameWithSum[n] == Sum8(frameWithSum.first(n));
}

} // namespace panelsim
