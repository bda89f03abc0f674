#include "panelsim/Frames.h"

#include "panelsim/Checksums.h"

#include <algorithm>

namespace panelsim {

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

std::vector<uint8_t> EncodeLongFrame(int mode, FrameHead head, uint8_t commandByte, std::span<const uint8_t> payload)
{
    mode = NormalLinkMode(mode);
    std::vector<uint8_t> frame;
    const size_t addressing = mode == 4 ? 1 : (mode == 5 ? 2 : 0);
    // The length counts everything after the length field, check bytes included.
    const size_t length = addressing + 1 + payload.size() + 2;
    if (mode != 1)
        frame.push_back(static_cast<uint8_t>(length >> 8));
    frame.push_back(static_cast<uint8_t>(length & 0xFF));
    if (mode == 5)
        frame.push_back(head.route);
    if (mode >= 4)
        frame.push_back(head.subAddress);
    frame.push_back(commandByte);
    frame.insert(frame.end(), payload.begin(), payload.end());
    AppendCrc16(frame);
    return frame;
}

std::vector<uint8_t> EncodeShortFrame(uint8_t code, std::span<const uint8_t> payload)
{
    std::vector<uint8_t> frame{code};
    frame.insert(frame.end(), payload.begin(), payload.end());
    AppendSum8(frame);
    return frame;
}

uint8_t ShortReplyLength(uint8_t code, bool threeByteCode50)
{
    switch (code) {
    case 0x00:
    case 0x02:
    case 0x03: return 1;
    case 0x50: return threeByteCode50 ? 4 : 2;
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x07:
    case 0x08:
    case 0x0C:
    case 0x40:
    case 0x45:
    case 0x60:
    case 0x80:
    case 0xC0: return 2;
    case 0x01:
    case 0x09:
    case 0x0D:
    case 0x90:
    case 0xD0: return 3;
    case 0x0A:
    case 0x0E:
    case 0xA0:
    case 0xE0: return 5;
    case 0x0B:
    case 0x0F:
    case 0xB0:
    case 0xF0: return 9;
    default: return 255;
    }
}

int ShortReplyPayload(uint8_t code, bool threeByteCode50)
{
    const int length = ShortReplyLength(code, threeByteCode50);
    if (length == 255)
        return 0;
    int total = length + 1;
    // These codes are answered with one byte more than they carry.
    switch (code) {
    case 0x04:
    case 0x05:
    case 0x06:
    case 0x40:
    case 0x50:
    case 0x60: ++total; break;
    default: break;
    }
    if (code == 0x50 && threeByteCode50)
        --total;
    return total - 2;
}

int ShortChunk(uint8_t code, bool threeByteCode50)
{
    const int length = ShortReplyLength(code, threeByteCode50);
    return length == 255 ? 0 : length - 1;
}

std::vector<uint8_t> AbortPattern(int mode)
{
    switch (NormalLinkMode(mode)) {
    case 1: return {0x03, 0x77, 0x77, 0x77};
    case 2: return {0x00, 0x03, 0x77, 0x77, 0x77};
    case 3: return {0x11, 0x03, 0x77, 0x77, 0x77};
    case 4: return {0x00, 0x04, 0x77, 0x77, 0x77, 0x77};
    default: return {0x00, 0x05, 0x77, 0x77, 0x77, 0x77, 0x77};
    }
}

std::vector<uint8_t> DialLinkFrame(std::string_view number)
{
    std::vector<uint8_t> frame{0x41, 0x54, 0x44, 0x54, static_cast<uint8_t>(number.size() + 2)};
    frame.insert(frame.end(), number.begin(), number.end());
    AppendCrc16(frame);
    return frame;
}

uint8_t ShortRefusalByte(int reason)
{
    if (reason == 6)
        return 2;
    if (reason == 2)
        return 3;
    return static_cast<uint8_t>(reason);
}

} // namespace panelsim
