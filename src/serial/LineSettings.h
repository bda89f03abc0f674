// The line settings text ("2400,N,8,2") and what it means for a port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vek {

struct LineSettings {
    int32_t speed = 0;
    char parity = 'N'; // N, E or O
    int dataBits = 8;
    int stopBits = 1;
};

// "%d,%C,%d,%d" with the speed, N, 8 and the stop bits.
std::string FormatLineSettings(int32_t speed, int stopBits);
// Nullopt for anything that is not "speed,parity,data,stop" with sensible
// values; the speed itself is checked by the device that applies it.
std::optional<LineSettings> ParseLineSettings(std::string_view text);

} // namespace vek
