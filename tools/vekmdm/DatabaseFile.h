// Reading and writing a modem database file for vekmdm: stricter than the
// library, which falls back to its built-in definition.
#pragma once

#include "modem/CModemSettings.h"

#include <optional>
#include <string>

namespace vekmdm {

// Loads path; a missing, unreadable or damaged file is an error here, said
// on stderr with the file's name and the reason.
bool Load(const std::string& path, vek::CModemSettings& settings);

// Writes settings to path in one step: a failed write leaves the old file.
bool Save(const std::string& path, const vek::CModemSettings& settings);

// What replacing path would lose, in words ("holds 2 definitions"); none
// when there is no file or an empty one.
std::optional<std::string> WhatReplacingLoses(const std::string& path);

} // namespace vekmdm
