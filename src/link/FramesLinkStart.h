// The two link frames that may open a call; both ignore the link mode.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vek {

// "ATDT", phone length + 2, the phone number, CRC. Nothing (nullopt) for a
// number longer than 253 characters, whose length byte would wrap.
std::optional<std::vector<uint8_t>> BuildDialCommandFrame(std::string_view phoneNumber);

inline constexpr size_t kIdentificationBlockSize = 19;

// 04 04 04, length 14, expected type and version (low bytes), 00, the first
// three identification-code bytes (00 where the code is shorter),
// 00 00 00 00 08 00, CRC.
std::vector<uint8_t> BuildIdentificationBlock(
    uint8_t expectedType, uint8_t expectedVersion, std::span<const uint8_t> idCode);

} // namespace vek
