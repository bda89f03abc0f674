// The host's panel record: what vekhost knows about the panel to call, laid
// out as the 13264-byte record the library reads at fixed offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vekhost {

constexpr size_t kPanelRecordSize = 13264;
constexpr size_t kMaxPhoneLength = 87; // up to the record window field, NUL included

struct PanelSettings {
    std::string phone;
    int linkMode = 2;
    int type = 19;
    int version = 2;
    std::string openCode = "1234";
    std::string idCode;
    uint16_t panelOptions = 0;
    uint8_t linkOptions = 0;
    int lineSpeed = 0;   // answer-mode line speed; 0: the modem's speed
    int secondSpeed = 0; // speed after the modem reset of a call; 0: the modem's
    int directSpeed = 0; // direct-link port speed; 0: the modem's speed
    int idleA = 0;       // idle disconnect after idleA * idleB / 9000 ticks
    int idleB = 0;       // 0: never
    uint32_t hostFlags = 0;
    uint32_t recordWindow = 0; // receives the idle-disconnect command
};

// 115200 does not fit the 16-bit fields and is written as 0xC200.
std::optional<uint16_t> EncodeRecordSpeed(int speed);
// Speeds left at 0 take the modem's.
PanelSettings WithModemSpeed(PanelSettings settings, int modemSpeed);
// An error text, or empty when the settings fit the record.
std::string CheckPanelSettings(const PanelSettings& settings);
// Call CheckPanelSettings first: what does not fit is cut or left 0.
std::vector<uint8_t> BuildPanelRecord(const PanelSettings& settings);

} // namespace vekhost
