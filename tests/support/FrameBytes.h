// Helpers to write expected frames in tests.
#pragma once

#include "link/Crc16.h"

#include <cstdint>
#include <vector>

namespace vek::test {

using Bytes = std::vector<uint8_t>;

// Frame bytes plus their CRC, high byte first.
inline Bytes WithCrc(Bytes bytes)
{
    const uint16_t crc = Crc16(bytes);
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc));
    return bytes;
}

} // namespace vek::test
