#include "ModemRecord.h"

#include "vek_comm2.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vek::internal {
namespace {

constexpr uint8_t kOptionLine2400 = 0x01;
constexpr uint8_t kOptionPcLink = 0x08;
constexpr uint8_t kOptionExtended = 0x10;
constexpr size_t kLongestDevicePath = 4095;

struct TextField {
    const char* name;
    const std::string Modem::*member;
    size_t offset;
    size_t width; // the NUL included
};

constexpr std::array kTextFields{
    TextField{"init", &Modem::init, VEK_SETUP_INIT, 70},
    TextField{"init2", &Modem::init2, VEK_SETUP_INIT2, 40},
    TextField{"init3", &Modem::init3, VEK_SETUP_INIT3, 40},
    TextField{"reset", &Modem::reset, VEK_SETUP_RESET, 8},
    TextField{"escape", &Modem::escape, VEK_SETUP_ESCAPE, 8},
    TextField{"hang-up", &Modem::hangUp, VEK_SETUP_HANGUP_STEM, 8},
    TextField{"pulse dial", &Modem::pulseDial, VEK_SETUP_PULSE_DIAL, 8},
    TextField{"dial prefix", &Modem::toneDial, VEK_SETUP_TONE_DIAL, 8},
};

void Put32(std::vector<uint8_t>& record, size_t offset, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

} // namespace

std::string CheckModemValues(const Modem& m)
{
    if (m.port < 1 || m.port > 255)
        return "port " + std::to_string(m.port) + " is not 1 to 255";
    if (m.speed <= 0)
        return "speed " + std::to_string(m.speed) + " is not a line speed";
    if (m.answerRings < 0 || m.answerRings > 255)
        return "answer rings " + std::to_string(m.answerRings) + " is not 0 to 255";
    if (m.commandDelayMs < 0 || m.commandDelayMs > 255 || m.charDelayMs < 0 || m.charDelayMs > 255)
        return "modem delays are 0 to 255 ms";
    if (m.device.size() > kLongestDevicePath || m.device.find('\0') != std::string::npos)
        return "the device path is not a path";
    for (const TextField& field : kTextFields) {
        const std::string& text = m.*field.member;
        if (text.size() >= field.width)
            return std::string(field.name) + " \"" + text + "\" is longer than " + std::to_string(field.width - 1) +
                   " characters";
        if (text.find('\0') != std::string::npos)
            return std::string(field.name) + " holds a NUL character";
    }
    return {};
}

std::vector<uint8_t> BuildModemRecord(const Modem& m)
{
    std::vector<uint8_t> record(kModemSetupSize, 0);
    Put32(record, VEK_SETUP_COM_PORT, m.port);
    Put32(record, VEK_SETUP_BAUD_RATE, m.speed);
    record[VEK_SETUP_ATTENTION] = m.attention ? 1 : 0;
    for (const TextField& field : kTextFields) {
        const std::string& text = m.*field.member;
        std::memcpy(record.data() + field.offset, text.data(), std::min(text.size(), field.width - 1));
    }
    uint8_t options = 0;
    if (m.line2400)
        options |= kOptionLine2400;
    if (m.pcLink)
        options |= kOptionPcLink;
    if (m.extended)
        options |= kOptionExtended;
    record[VEK_SETUP_MODEM_OPTIONS] = options;
    Put32(record, VEK_SETUP_OPTIONS, m.options);
    record[VEK_SETUP_COMMAND_DELAY] = static_cast<uint8_t>(m.commandDelayMs);
    record[VEK_SETUP_CHAR_DELAY] = static_cast<uint8_t>(m.charDelayMs);
    record[VEK_SETUP_ANSWER_RINGS] = static_cast<uint8_t>(m.answerRings);
    record[VEK_SETUP_ANSWER_RINGS + 1] = static_cast<uint8_t>(static_cast<uint16_t>(m.answerRings) >> 8);
    return record;
}

} // namespace vek::internal
