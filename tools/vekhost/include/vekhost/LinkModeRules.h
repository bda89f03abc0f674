// What vekhost's command line must say for a link mode, checked before the
// call: the request size, mode 3's command bytes and its address form. The
// limits themselves are the client's (vek::linkLimits).
#pragma once

#include "vekhost/TransferArgument.h"

#include <cstdint>
#include <span>
#include <string>

namespace vekhost {

constexpr uint16_t kPanelTwoByteAddress = 0x0080;

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
