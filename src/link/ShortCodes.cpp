#include "link/ShortCodes.h"

#include <array>

namespace vek {

namespace {

constexpr std::array<uint8_t, 256> MakeReplyLengths()
{
    std::array<uint8_t, 256> t{};
    for (auto& v : t) {
        v = kShortCodeUnknown;
    }
    for (uint8_t c : {0x00, 0x02, 0x03}) {
        t[c] = 1;
    }
    for (uint8_t c : {0x04, 0x05, 0x06, 0x07, 0x08, 0x0C, 0x40, 0x45, 0x50, 0x60, 0x80, 0xC0}) {
        t[c] = 2;
    }
    for (uint8_t c : {0x01, 0x09, 0x0D, 0x90, 0xD0}) {
        t[c] = 3;
    }
    for (uint8_t c : {0x0A, 0x0E, 0xA0, 0xE0}) {
        t[c] = 5;
    }
    for (uint8_t c : {0x0B, 0x0F, 0xB0, 0xF0}) {
        t[c] = 9;
    }
    return t;
}

constexpr std::array<uint8_t, 256> kReplyLengths = MakeReplyLengths();

} // namespace

uint8_t ShortReplyLength(uint8_t code, bool wideCode50Panel)
{
    if (code == 0x50 && wideCode50Panel) {
        return 4;
    }
    return kReplyLengths[code];
}

uint8_t ShortRequestCode(uint8_t command, uint8_t count)
{
    // Commands 1 to 4 pick the largest chunk (8, 4, 2, 1) that fits the count.
    static constexpr uint8_t kSized[4][4] = {
        {0x80, 0x90, 0xA0, 0xB0},
        {0xC0, 0xD0, 0xE0, 0xF0},
        {0x08, 0x09, 0x0A, 0x0B},
        {0x0C, 0x0D, 0x0E, 0x0F},
    };
    static constexpr uint8_t kFixed[6] = {0x40, 0x50, 0x60, 0x04, 0x05, 0x06};

    if (command >= 1 && command <= 4) {
        if (count == 0) {
            return 0x00;
        }
        const int size = count >= 8 ? 3 : count >= 4 ? 2 : count >= 2 ? 1 : 0;
        return kSized[command - 1][size];
    }
    if (command >= 5 && command <= 10) {
        return kFixed[command - 5];
    }
    return 0x00;
}

} // namespace vek
