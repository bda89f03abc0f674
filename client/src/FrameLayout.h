// Just enough of the panel link's framing to read what the panel sent when a
// call fails: where the length and the command sit in each link mode, and
// the two checks.
#pragma once

#include <cstdint>
#include <span>

namespace vek::internal {

constexpr int kShortCodeMode = 3;

int NormalLinkMode(int mode);
// Bytes of the length field: 0 in mode 3, 1 in mode 1, else 2.
int LengthFieldSize(int mode);
// Where the command byte sits in a frame.
int CommandIndex(int mode);
// Bit-reflected CRC, polynomial constant 0xD003, initial 0, sent high byte first.
bool Crc16Matches(std::span<const uint8_t> frameWithCrc);
// The byte sum of [from, to) equals sum.
bool SumMatches(std::span<const uint8_t> bytes, size_t from, size_t to, uint8_t sum);

} // namespace vek::internal
