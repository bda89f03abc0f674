// The modem as the 288-byte setup record handed to VEKComm2_SetupModem.
#pragma once

#include "vek/client.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vek::internal {

constexpr size_t kModemSetupSize = 288;

// An error text, or empty when every field fits its place in the record.
std::string CheckModemValues(const Modem& modem);
// Call CheckModemValues first: texts that do not fit are cut.
std::vector<uint8_t> BuildModemRecord(const Modem& modem);

} // namespace vek::internal
