// The two hexadecimal texts a host gives with a panel: the open code and
// the identification code.
#pragma once

#include "link/CPool.h"

namespace vek {

// Groups of two characters from the start (a last single character is a
// group of its own), each read as strtol reads base 16 and cut to 8 bits.
ByteArray ParseIdentificationCode(const char* text);
// Exactly two bytes (characters 0-1, 2-3), or three (4-5 as well); a group
// beyond the end of the text gives 0.
ByteArray ParseOpenCode(const char* text, bool threeBytes);

} // namespace vek
