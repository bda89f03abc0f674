// The 8-bit sum that closes every short-code frame.
#pragma once

#include <cstdint>
#include <span>

namespace vek {

// Sum modulo 256 of the first count bytes, no complement; 0 when count <= 0.
uint8_t Sum8(const uint8_t* array, int count);
uint8_t Sum8(std::span<const uint8_t> bytes);

} // namespace vek
