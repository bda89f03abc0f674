// The length-prefixed frame of link modes 1, 2, 4 and 5, and the short-code
// frame of mode 3: the envelopes every other frame builder fills.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vek {

inline constexpr uint8_t kRouteData = 0x01; // mode 5 route byte of transfers
inline constexpr uint8_t kRouteControl = 0x25; // mode 5 route byte of control frames

// Modes above 5 frame like mode 5; 0 and below mean no call is set up.
int NormalizedLinkMode(int linkMode);

// Bytes before the command byte in a long frame of this mode (length, route,
// sub-address); 0 for mode 3 and for no mode.
int LongFrameHeaderSize(int linkMode);

// Length, route (mode 5), sub-address (modes 4, 5), command, payload, CRC.
// Nothing (nullopt) when the mode is not a long-frame mode or when the length
// would not fit its field: 255 in mode 1, 65535 otherwise. A mode 1 frame is
// refused rather than sent with a truncated length the panel would misread.
std::optional<std::vector<uint8_t>> BuildLongFrame(
    int linkMode, uint8_t route, uint8_t subAddress, uint8_t command, std::span<const uint8_t> payload);

// Code, payload, 8-bit sum.
std::vector<uint8_t> BuildShortFrame(uint8_t code, std::span<const uint8_t> payload);

} // namespace vek
