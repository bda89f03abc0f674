#include "vekhost/ModemSetup.h"

#include "vek_comm2.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vekhost {
namespace {

constexpr uint8_t kOptionLine2400 = 0x01;
constexpr uint8_t kOptionPcLink = 0x08;
constexpr uint8_t kOptionExtended = 0x10;

struct TextField {
    const char* name;
    const std::string ModemSettings::*member;
    size_t offset;
    size_t width; // the NUL included
};

constexpr std::array kTextFields{
    TextField{"init", &ModemSettings::init, VEK_SETUP_INIT, 70},
    TextField{"init2", &ModemSettings::init2, VEK_SETUP_INIT2, 40},
    TextField{"init3", &ModemSettings::init3, VEK_SETUP_INIT3, 40},
    TextField{"reset", &ModemSettings::reset, VEK_SETUP_RESET, 8},
    TextField{"escape", &ModemSettings::escape, VEK_SETUP_ESCAPE, 8},
    TextField{"hang-up", &ModemSettings::hangUpStem, VEK_SETUP_HANGUP_STEM, 8},
    TextField{"pulse dial", &ModemSettings::pulseDial, VEK_SETUP_PULSE_DIAL, 8},
    TextField{"dial prefix", &ModemSettings::toneDial, VEK_SETUP_TONE_DIAL, 8},
};

void Put32(std::vector<uint8_t>& record, size_t offset, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

} // namespace

std::string CheckModemSettings(const ModemSettings& s)
{
    if (s.port < 1 || s.port > 255)
        return "port " + std::to_string(s.port) + " is not 1 to 255";
    if (s.speed <= 0)
        return "speed " + std::to_string(s.speed) + " is not a line speed";
    if (s.answerRings < 0 || s.answerRings > 255)
        return "answer rings " + std::to_string(s.answerRings) + " is not 0 to 255";
    if (s.commandDelayMs < 0 || s.commandDelayMs > 255 || s.charDelayMs < 0 || s.charDelayMs > 255)
        return "modem delays are 0 to 255 ms";
    for (const TextField& field : kTextFields) {
        const std::string& text = s.*field.member;
        if (text.size() >= field.width)
            return std::string(field.name) + " \"" + text + "\" is longer than " + std::to_string(field.width - 1) +
                   " characters";
    }
    return {};
}

std::vector<uint8_t> BuildModemSetup(const ModemSettings& s)
{
    std::vector<uint8_t> record(kModemSetupSize, 0);
    Put32(record, VEK_SETUP_COM_PORT, s.port);
    Put32(record, VEK_SETUP_BAUD_RATE, s.speed);
    record[VEK_SETUP_ATTENTION] = s.attention ? 1 : 0;
    for (const TextField& field : kTextFields) {
        const std::string& text = s.*field.member;
        std::memcpy(record.data() + field.offset, text.data(), std::min(text.size(), field.width - 1));
    }
    uint8_t options = 0;
    if (s.line2400)
        options |= kOptionLine2400;
    if (s.pcLink)
        options |= kOptionPcLink;
    if (s.extended)
        options |= kOptionExtended;
    record[VEK_SETUP_MODEM_OPTIONS] = options;
    Put32(record, VEK_SETUP_OPTIONS, s.options);
    record[VEK_SETUP_COMMAND_DELAY] = static_cast<uint8_t>(s.commandDelayMs);
    record[VEK_SETUP_CHAR_DELAY] = static_cast<uint8_t>(s.charDelayMs);
    record[VEK_SETUP_ANSWER_RINGS] = static_cast<uint8_t>(s.answerRings);
    record[VEK_SETUP_ANSWER_RINGS + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s.answerRings) >> 8);
    return record;
}

} // namespace vekhost
