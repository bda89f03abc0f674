// The panel as the 13264-byte record the library reads at fixed offsets.
#pragma once

#include "vek/client.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vek::internal {

constexpr size_t kPanelRecordSize = 13264;
constexpr size_t kMaxPhoneLength = 87; // up to the record window field, NUL included

// 115200 does not fit the 16-bit fields and is written as 0xC200.
std::optional<uint16_t> EncodeRecordSpeed(int speed);
// Speeds left at 0 take the modem's.
Panel WithModemSpeed(Panel panel, int modemSpeed);
// An error text, or empty when the panel fits the record.
std::string CheckPanelValues(const Panel& panel);
// Call CheckPanelValues first: what does not fit is cut or left 0.
std::vector<uint8_t> BuildPanelRecord(const Panel& panel, uint32_t recordWindow);

} // namespace vek::internal
