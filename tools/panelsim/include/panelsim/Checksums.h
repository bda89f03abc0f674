// The two checks of the panel link, written for the panel's side of the line.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace panelsim {

// Bit-reflected CRC, polynomial constant 0xD003, initial value 0, no final XOR.
uint16_t Crc16(std::span<const uint8_t> bytes);

// Byte sum modulo 256, no complement.
uint8_t Sum8(std::span<const uint8_t> bytes);

// Appends the CRC of everything already in the frame, high byte first.
void AppendCrc16(std::vector<uint8_t>& frame);

void AppendSum8(std::vector<uint8_t>& frame);

// True when the last two bytes hold the CRC of the bytes before them.
bool Crc16Matches(std::span<const uint8_t> frameWithCrc);

// True when the last byte holds the sum of the bytes before it.
bool Sum8Matches(std::span<const uint8_t> frameWithSum);

} // namespace panelsim
