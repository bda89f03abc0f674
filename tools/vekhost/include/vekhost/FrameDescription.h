// The bytes on the line in words: modem commands and results as text, panel
// frames decoded for the link mode (length, command, address, count, reply
// reason, whether the check is good), identification blocks by type and
// version.
#pragma once

#include "vekhost/TraceReader.h"

#include <cstdint>
#include <span>
#include <string>

namespace vekhost {

struct TrafficContext {
    int linkMode = 2;
    uint8_t readCommand = 0x52;
    bool twoByteAddress = false; // link mode 3, panel option 0x0080
};

// Empty when the bytes are no whole frame, text or identification.
std::string DescribeBytes(const TrafficContext& context, TraceKind direction, std::span<const uint8_t> bytes);

} // namespace vekhost
