// Hexadecimal text: the open and identification codes, the trace's bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vek::internal {

// Only hex digits (an empty text too).
bool IsHexText(std::string_view text);
// Pairs of hex digits separated by single spaces ("41 54 0D").
std::optional<std::vector<uint8_t>> ParseSpacedHex(std::string_view text);
// "41 54 0D", at most limit bytes, then " ...".
std::string HexBytes(std::span<const uint8_t> bytes, size_t limit = SIZE_MAX);

} // namespace vek::internal
