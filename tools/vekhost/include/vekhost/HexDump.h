// Bytes for people: a spaced hex string, and a classic hex dump with the
// panel address in front and printable characters behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vekhost {

// "DE AD BE EF"; more than maxBytes ends in " ...".
std::string HexBytes(std::span<const uint8_t> bytes, size_t maxBytes = SIZE_MAX);
// Printable ASCII as is, everything else as '.'.
std::string PrintableText(std::span<const uint8_t> bytes);
std::vector<std::string> HexDumpLines(uint32_t address, std::span<const uint8_t> bytes);

} // namespace vekhost
