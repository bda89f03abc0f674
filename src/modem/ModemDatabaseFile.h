// Reading and writing the modem database file "Trv3.mdm".
#pragma once

#include "modem/CModemSettings.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vek {

enum class DatabaseLoad {
    Loaded,    // the file was read; the outgoing modem is current
    Defaulted, // no file could be opened: the built-in definition is in use
    Damaged,   // format error (or a file too large or failing to read); what was read before it stays
};

// Loads the database file at path into settings. Shows no message. A file that
// cannot be opened gives the built-in definition.
DatabaseLoad LoadModemDatabaseFile(CModemSettings& settings, const std::string& path);
// Loads from bytes already in memory (throws nothing; Damaged on a format error).
DatabaseLoad LoadModemDatabaseBytes(CModemSettings& settings, std::span<const uint8_t> bytes);
// The message for a database file that is damaged: the fixed text, then
// the file, so that the user knows which one to replace.
std::string DamagedDatabaseMessage(const std::string& path);
// The archive bytes of settings, in the file's layout.
std::vector<uint8_t> StoreModemDatabase(const CModemSettings& settings);

} // namespace vek
