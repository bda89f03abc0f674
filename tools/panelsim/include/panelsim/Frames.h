// Frame layouts of the five link modes as the panel sees and builds them.
// Modes 1, 2, 4 and 5 carry a length and a CRC-16; mode 3 carries short codes
// closed by an 8-bit sum.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace panelsim {

inline constexpr int kShortCodeMode = 3;

namespace command {
inline constexpr uint8_t kSessionOpen = 0x22;
inline constexpr uint8_t kLinkRequest = 0xF2;
inline constexpr uint8_t kHangUp = 0x54;
inline constexpr uint8_t kKeepAlive = 0x55;
inline constexpr uint8_t kAcknowledge = 0x50; // P
inline constexpr uint8_t kRefuse = 0x51;      // Q, reason follows
inline constexpr uint8_t kShortRefuse = 0x45; // E, reason follows (mode 3)
inline constexpr uint8_t kSpeedUp1200 = 0x56;
inline constexpr uint8_t kSpeed300 = 0x53;
inline constexpr uint8_t kSpeedLong = 0x58; // followed by 0x02 (1200) or 0x01 (300)
} // namespace command

namespace shortcode {
inline constexpr uint8_t kKeepAlive = 0x00;
inline constexpr uint8_t kSessionOpen = 0x01;
inline constexpr uint8_t kHangUp = 0x02;
inline constexpr uint8_t kLinkRequest = 0x07;
inline constexpr uint8_t kInvalid = 0xFF;
} // namespace shortcode

inline constexpr uint8_t kRouteData = 0x01;
inline constexpr uint8_t kRouteControl = 0x25;

// Modes above 5 frame as 5; anything below 1 as 1.
int NormalLinkMode(int mode);

// Bytes of the length field: 1 in mode 1, 2 in the other long modes, 0 in mode 3.
int LengthFieldSize(int mode);

// Index of the command byte (mode 3: the code) in a frame of that mode.
int CommandIndex(int mode);

// Route and sub-address bytes of a long frame; only modes 4 and 5 send them.
struct FrameHead {
    uint8_t route = kRouteControl;
    uint8_t subAddress = 0;
};

std::vector<uint8_t> EncodeLongFrame(int mode, FrameHead head, uint8_t commandByte, std::span<const uint8_t> payload);
std::vector<uint8_t> EncodeShortFrame(uint8_t code, std::span<const uint8_t> payload);

// 1 + the data bytes a short code carries, 255 for an unknown code. The
// panel that identifies as type 0xE2 version 0x96 carries three bytes with
// code 0x50.
uint8_t ShortReplyLength(uint8_t code, bool threeByteCode50 = false);

// Data bytes between code and sum in the panel's reply to a short code,
// exactly as many as the host's receive scanner waits for.
int ShortReplyPayload(uint8_t code, bool threeByteCode50 = false);

// Data bytes a host write of this code carries.
int ShortChunk(uint8_t code, bool threeByteCode50 = false);

// The host's abort pattern of a mode: no check bytes.
std::vector<uint8_t> AbortPattern(int mode);

// "ATDT", the number's length + 2, the number, CRC-16: the same in every mode.
std::vector<uint8_t> DialLinkFrame(std::string_view number);

// Mode 3 refusal reasons travel as raw bytes the host maps (2 to 6, 3 to 2);
// this gives the raw byte that the host reads as the given reason.
uint8_t ShortRefusalByte(int reason);

} // namespace panelsim
