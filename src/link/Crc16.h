// The 16-bit CRC that closes every long frame and the identification blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek {

// Reflected form of the polynomial 0xC00B; start value 0, no final XOR.
inline constexpr uint16_t kCrc16Polynomial = 0xD003;

// CRC of data[0] to data[lastIndex] inclusive; a negative lastIndex yields 0.
uint16_t Crc16(const uint8_t* data, int lastIndex);
uint16_t Crc16(std::span<const uint8_t> data);

// Continue a CRC over more bytes: Crc16(a + b) == Crc16Update(Crc16(a), b).
uint16_t Crc16Update(uint16_t crc, std::span<const uint8_t> data);
uint16_t Crc16UpdateByte(uint16_t crc, uint8_t byte);

// Product of two residues modulo the polynomial, in the reflected bit order
// (bit 15 is x^0). Shifting a CRC past n zero bytes is a multiplication by
// x^(8n), which lets the CRC of a window come from two prefix CRCs.
uint16_t Crc16MultiplyMod(uint16_t a, uint16_t b);
// x^(8n) modulo the polynomial, in O(log n).
uint16_t Crc16PowerOfBytes(uint64_t n);
// The CRC register after n more zero bytes.
uint16_t Crc16ShiftBytes(uint16_t crc, uint64_t n);
// Crc16 of a + b from Crc16(a), Crc16(b) and the length of b.
uint16_t Crc16Combine(uint16_t crcA, uint16_t crcB, uint64_t lengthB);

} // namespace vek
