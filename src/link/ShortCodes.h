// The code tables of the short-code link mode.
#pragma once

#include <cstdint>

namespace vek {

// The one panel whose code 0x50 carries three data bytes instead of one.
inline constexpr uint16_t kWideCode50PanelType = 0xE2;
inline constexpr uint16_t kWideCode50PanelVersion = 0x96;

inline constexpr uint8_t kShortCodeUnknown = 255;

constexpr bool IsWideCode50Panel(uint16_t panelType, uint16_t panelVersion)
{
    return panelType == kWideCode50PanelType && panelVersion == kWideCode50PanelVersion;
}

// 1 + the data bytes carried by a code, or 255 for a code outside the table.
// wideCode50Panel: the connected panel identified as type 0xE2 version 0x96.
uint8_t ShortReplyLength(uint8_t code, bool wideCode50Panel = false);

// The code for a host command and the count still to transfer.
uint8_t ShortRequestCode(uint8_t command, uint8_t count);

} // namespace vek
