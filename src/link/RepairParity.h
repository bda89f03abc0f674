// Recovers identification blocks that crossed a 7-bit link.
#pragma once

#include <cstdint>
#include <vector>

namespace vek {

// Tries clearing bit 7 of bytes 0..n in every combination, in increasing mask
// order, until the CRC of those bytes matches bytes n+1 (high) and n+2 (low)
// on their low 7 bits. On a match the array takes the corrected bytes and 1
// is returned; otherwise 0 and the array is unchanged. Returns 0 when the
// array is shorter than n + 3 bytes or n is outside 0..kRepairParityMaxN.
int RepairParity(std::vector<uint8_t>& array, int n);

// Bounds the search at 2^16 candidates; the callers use n = 10 and n = 13.
inline constexpr int kRepairParityMaxN = 15;

} // namespace vek
