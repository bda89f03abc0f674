// Numbers and hexadecimal bytes as people type them on a command line or
// in a panel file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vekhost {

// "0x1F" is hexadecimal, anything else decimal (a leading 0 is not octal).
std::optional<uint64_t> ParseUnsigned(std::string_view text);
// Pairs of hex digits; spaces, commas and underscores between pairs are
// ignored. Empty or odd input is refused.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text);
// Only hex digits (an open or identification code text).
bool IsHexText(std::string_view text);

} // namespace vekhost
