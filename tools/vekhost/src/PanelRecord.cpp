#include "vekhost/PanelRecord.h"

#include "vek_comm2.h"

#include <algorithm>
#include <cstring>

namespace vekhost {
namespace {

constexpr int kSpeed115200 = 115200;
constexpr uint16_t kSpeed115200Field = 0xC200;

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

} // namespace

std::optional<uint16_t> EncodeRecordSpeed(int speed)
{
    if (speed == kSpeed115200)
        return kSpeed115200Field;
    if (speed < 0 || speed > 0xFFFF)
        return std::nullopt;
    return static_cast<uint16_t>(speed);
}

PanelSettings WithModemSpeed(PanelSettings settings, int modemSpeed)
{
    for (int* speed : {&settings.lineSpeed, &settings.secondSpeed, &settings.directSpeed})
        if (*speed == 0)
            *speed = modemSpeed;
    return settings;
}

std::string CheckPanelSettings(const PanelSettings& s)
{
    if (s.linkMode < 1 || s.linkMode > 5)
        return "link mode " + std::to_string(s.linkMode) + " is not 1 to 5";
    if (s.type < 0 || s.type > 0xFFFF || s.version < 0 || s.version > 0xFFFF)
        return "panel type and version are 16-bit numbers";
    if (s.phone.size() > kMaxPhoneLength)
        return "the phone number is longer than " + std::to_string(kMaxPhoneLength) + " characters";
    if (s.idleA < -32768 || s.idleA > 32767 || s.idleB < -32768 || s.idleB > 32767)
        return "idle factors are 16-bit signed numbers";
    for (const auto& [name, speed] : {std::pair{"line speed", s.lineSpeed}, std::pair{"second speed", s.secondSpeed},
                                      std::pair{"direct speed", s.directSpeed}})
        if (std::string error = CheckSpeed(name, speed); !error.empty())
            return error;
    return {};
}

std::vector<uint8_t> BuildPanelRecord(const PanelSettings& s)
{
    std::vector<uint8_t> record(kPanelRecordSize, 0);
    Put32(record, VEK_PANEL_HOST_FLAGS, s.hostFlags);
    Put16(record, VEK_PANEL_LINE_SPEED, EncodeRecordSpeed(s.lineSpeed).value_or(0));
    Put16(record, VEK_PANEL_SECOND_SPEED, EncodeRecordSpeed(s.secondSpeed).value_or(0));
    Put16(record, VEK_PANEL_DIRECT_SPEED, EncodeRecordSpeed(s.directSpeed).value_or(0));
    Put16(record, VEK_PANEL_EXPECTED_TYPE, static_cast<uint16_t>(s.type));
    Put16(record, VEK_PANEL_EXPECTED_VERSION, static_cast<uint16_t>(s.version));
    Put16(record, VEK_PANEL_LINK_MODE, static_cast<uint16_t>(s.linkMode));
    Put16(record, VEK_PANEL_IDLE_FACTOR_A, static_cast<uint16_t>(s.idleA));
    Put16(record, VEK_PANEL_IDLE_FACTOR_B, static_cast<uint16_t>(s.idleB));
    Put16(record, VEK_PANEL_OPTIONS, s.panelOptions);
    record[VEK_PANEL_LINK_OPTIONS] = s.linkOptions;
    std::memcpy(record.data() + VEK_PANEL_PHONE_NUMBER, s.phone.data(), std::min(s.phone.size(), kMaxPhoneLength));
    Put32(record, VEK_PANEL_RECORD_WINDOW, s.recordWindow);
    return record;
}

} // namespace vekhost
