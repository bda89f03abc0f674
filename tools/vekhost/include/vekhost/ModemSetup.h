// The modem the library is to drive, as the 288-byte setup record handed to
// VEKComm2_SetupModem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vekhost {

constexpr size_t kModemSetupSize = 288;

struct ModemSettings {
    int port = 1;
    int speed = 9600;
    // S12=10: a 200 ms escape guard time keeps the hang-up quick.
    std::string init = "ATE0S12=10";
    std::string init2;
    std::string init3;
    std::string reset = "ATZ";
    std::string escape = "+++";
    std::string hangUpStem = "ATH";
    std::string toneDial = "DT";
    std::string pulseDial = "DP";
    int answerRings = 1;
    bool pcLink = false;
    bool extended = false;
    bool line2400 = false;
    bool attention = false;
    int options = 0;
    int commandDelayMs = 0;
    int charDelayMs = 0;
};

// An error text, or empty when every field fits its place in the record.
std::string CheckModemSettings(const ModemSettings& settings);
// Call CheckModemSettings first: texts that do not fit are cut.
std::vector<uint8_t> BuildModemSetup(const ModemSettings& settings);

} // namespace vekhost
