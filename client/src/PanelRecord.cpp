#include "PanelRecord.h"

#include "Hex.h"

#include "vek_comm2.h"

#include <algorithm>
#include <cstring>

namespace vek::internal {
namespace {

constexpr int kSpeed115200 = 115200;
constexpr uint16_t kSpeed115200Field = 0xC200;
constexpr uint16_t kThreeByteOpenCode = 0x0040;

void Put16(std::vector<uint8_t>& record, size_t offset, uint16_t value)
{
    record[offset] = static_cast<uint8_t>(value);
    record[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& record, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

std::string CheckSpeed(const char* name, int speed)
{
    if (EncodeRecordSpeed(speed))
        return {};
    return std::string(name) + " " + std::to_string(speed) + " does not fit the panel record (up to 65535, or 115200)";
}

std::string CheckCode(const char* name, const std::string& code, size_t bytes)
{
    if (!IsHexText(code))
        return std::string(name) + " \"" + code + "\" is not hexadecimal";
    if (code.size() > bytes * 2)
        return std::string(name) + " \"" + code + "\" is longer than " + std::to_string(bytes) + " bytes (" +
               std::to_string(bytes * 2) + " hex digits)";
    return {};
}

} // namespace

std::optional<uint16_t> EncodeRecordSpeed(int speed)
{
    if (speed == kSpeed115200)
        return kSpeed115200Field;
    if (speed < 0 || speed > 0xFFFF)
        return std::nullopt;
    return static_cast<uint16_t>(speed);
}

Panel WithModemSpeed(Panel panel, int modemSpeed)
{
    for (int* speed : {&panel.lineSpeed, &panel.secondSpeed, &panel.directSpeed})
        if (*speed == 0)
            *speed = modemSpeed;
    return panel;
}

std::string CheckPanelValues(const Panel& p)
{
    if (p.linkMode < 1 || p.linkMode > 5)
        return "link mode " + std::to_string(p.linkMode) + " is not 1 to 5";
    if (p.type < 0 || p.type > 0xFFFF || p.version < 0 || p.version > 0xFFFF)
        return "panel type and version are 16-bit numbers";
    if (p.phone.size() > kMaxPhoneLength)
        return "the phone number is longer than " + std::to_string(kMaxPhoneLength) + " characters";
    if (p.phone.find('\0') != std::string::npos)
        return "the phone number holds a NUL character";
    if (p.idleA < -32768 || p.idleA > 32767 || p.idleB < -32768 || p.idleB > 32767)
        return "idle factors are 16-bit signed numbers";
    const size_t openBytes = (p.options & kThreeByteOpenCode) != 0 ? 3 : 2;
    if (std::string error = CheckCode("open code", p.openCode, openBytes); !error.empty())
        return error;
    if (std::string error = CheckCode("identification code", p.idCode, 3); !error.empty())
        return error;
    for (const auto& [name, speed] : {std::pair{"line speed", p.lineSpeed}, std::pair{"second speed", p.secondSpeed},
                                      std::pair{"direct speed", p.directSpeed}})
        if (std::string error = CheckSpeed(name, speed); !error.empty())
            return error;
    return {};
}

std::vector<uint8_t> BuildPanelRecord(const Panel& p, uint32_t recordWindow)
{
    std::vector<uint8_t> record(kPanelRecordSize, 0);
    Put32(record, VEK_PANEL_HOST_FLAGS, p.hostFlags);
    Put16(record, VEK_PANEL_LINE_SPEED, EncodeRecordSpeed(p.lineSpeed).value_or(0));
    Put16(record, VEK_PANEL_SECOND_SPEED, EncodeRecordSpeed(p.secondSpeed).value_or(0));
    Put16(record, VEK_PANEL_DIRECT_SPEED, EncodeRecordSpeed(p.directSpeed).value_or(0));
    Put16(record, VEK_PANEL_EXPECTED_TYPE, static_cast<uint16_t>(p.type));
    Put16(record, VEK_PANEL_EXPECTED_VERSION, static_cast<uint16_t>(p.version));
    Put16(record, VEK_PANEL_LINK_MODE, static_cast<uint16_t>(p.linkMode));
    Put16(record, VEK_PANEL_IDLE_FACTOR_A, static_cast<uint16_t>(p.idleA));
    Put16(record, VEK_PANEL_IDLE_FACTOR_B, static_cast<uint16_t>(p.idleB));
    Put16(record, VEK_PANEL_OPTIONS, p.options);
    record[VEK_PANEL_LINK_OPTIONS] = p.linkOptions;
    std::memcpy(record.data() + VEK_PANEL_PHONE_NUMBER, p.phone.data(), std::min(p.phone.size(), kMaxPhoneLength));
    Put32(record, VEK_PANEL_RECORD_WINDOW, recordWindow);
    return record;
}

} // namespace vek::internal
