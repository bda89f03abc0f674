// What vekmdm accepts as a value: the values the library can use.
#pragma once

#include "modem/ModemFields.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vekmdm {

// Why the library could not use value for field; empty when it can.
std::string RefuseValue(const vek::ModemFieldInfo& field, std::string_view value);

// A definition index: decimal, -1 and up.
bool ParseIndex(std::string_view text, int32_t& out);

} // namespace vekmdm
