// What a transfer must look like in each link mode: the command bytes a
// mode reads and writes with, the largest request its frames can describe,
// and the address form of the short-code mode.
#pragma once

#include "vekhost/TransferArgument.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vekhost {

constexpr uint16_t kPanelTwoByteAddress = 0x0080;
constexpr uint8_t kDefaultReadCommand = 0x52;
constexpr uint8_t kDefaultWriteCommand = 0x57;

struct LinkModeDefaults {
    uint8_t readCommand;
    uint8_t writeCommand;
    uint32_t largestRequest; // bytes one request can carry
};

LinkModeDefaults DefaultsForLinkMode(int linkMode);

// The mode 3 code the library sends for a command and a remaining count;
// 0 is the keep-alive code, which carries no data.
uint8_t ShortCodeFor(uint8_t command, uint8_t count);

struct TransferShape {
    int linkMode = 2;
    uint8_t readCommand = 0;
    uint8_t writeCommand = 0;
    uint32_t chunk = 64;
    uint16_t panelOptions = 0;
    bool panelOptionsGiven = false; // the user set them: never changed
};

// Settles what the user left open and checks the rest; an error text, or
// empty with shape completed (the two-byte address option added in mode 3
// when an address needs it).
std::string ShapeTransfers(TransferShape& shape, std::span<const TransferArgument> transfers);

} // namespace vekhost
