// Control frames the session sends on its own behalf: session open, link
// request, hang-up and keep-alive. Each is empty when no link mode is set
// (mode 0 or below); modes above 5 frame like mode 5.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vek {

inline constexpr uint8_t kCommandSessionOpen = 0x22;
inline constexpr uint8_t kCommandLinkRequest = 0xF2;
inline constexpr uint8_t kCommandHangUp = 0x54;
inline constexpr uint8_t kCommandKeepAlive = 0x55;

inline constexpr uint8_t kShortCodeSessionOpen = 0x01;
inline constexpr uint8_t kShortCodeLinkRequest = 0x07;
inline constexpr uint8_t kShortCodeHangUp = 0x02;
inline constexpr uint8_t kShortCodeKeepAlive = 0x00;

// Carries the first 2 open-code bytes, or 3 when threeByteOpenCode (panel
// option 0x0040); bytes missing from openCode are sent as 0x00.
std::vector<uint8_t> BuildSessionOpenFrame(int linkMode, std::span<const uint8_t> openCode, bool threeByteOpenCode);
std::vector<uint8_t> BuildLinkRequestFrame(int linkMode);
std::vector<uint8_t> BuildHangUpFrame(int linkMode);
std::vector<uint8_t> BuildKeepAliveFrame(int linkMode);

} // namespace vek
