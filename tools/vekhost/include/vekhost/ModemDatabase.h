// The outgoing modem definition of a modem database file ("Trv3.mdm"), read
// on vekhost's side so that the call starts from it and only the options
// given on the command line change it.
#pragma once

#include "vek/client.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace vekhost {

// The outgoing definition as modem settings, or an error text.
std::variant<vek::Modem, std::string> ReadOutgoingModem(std::span<const uint8_t> file);
// The database in folder: the settings, or an error naming the path (no
// folder, no file, not a readable file, damaged).
std::variant<vek::Modem, std::string> LoadDataFolderModem(const std::string& folder);

} // namespace vekhost
