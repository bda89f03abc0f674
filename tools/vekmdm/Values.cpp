#include "Values.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace vekmdm {
namespace {

// Line speeds the port can be set to.
constexpr std::array<int32_t, 25> kSpeeds{50,    75,    110,    134,    150,    200,    300,    600,   1200,
                                          1800,  2400,  4800,   9600,   14400,  19200,  28800,  38400, 56000,
                                          57600, 76800, 115200, 230400, 460800, 921600, 1000000};

struct TextLimit {
    std::string_view field;
    size_t longest; // the setup record's field, its terminator left out
};

constexpr std::array kTextLimits{
    TextLimit{"m_strInit", 69},         TextLimit{"m_strInit2", 39},   TextLimit{"m_strInit3", 39},
    TextLimit{"m_strReset", 7},         TextLimit{"m_strEscape", 7},   TextLimit{"m_strHangUp", 7},
    TextLimit{"m_strPulseDial", 7},     TextLimit{"m_strToneDial", 7}, TextLimit{"m_strSpeakerMode", 7},
    TextLimit{"m_strSpeakerVolume", 7},
};

bool ParseNumber(std::string_view text, long long& out)
{
    int base = 10;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::string RefuseText(std::string_view field, std::string_view value)
{
    const std::string name(vek::ModemFieldName({field, true}));
    for (const TextLimit& limit : kTextLimits)
        if (limit.field == field && value.size() > limit.longest)
            return name + " is at most " + std::to_string(limit.longest) + " characters, not " +
                   std::to_string(value.size());
    return {};
}

bool Within(long long number, long long low, long long high) { return number >= low && number <= high; }

} // namespace

std::string RefuseValue(const vek::ModemFieldInfo& field, std::string_view value)
{
    if (field.isText)
        return RefuseText(field.name, value);
    const std::string name(vek::ModemFieldName(field));
    long long number = 0;
    if (!ParseNumber(value, number))
        return "\"" + std::string(value) + "\" is not a number";
    const std::string said = name + " " + std::to_string(number);
    if (name == "ComPort" && !Within(number, 1, 255))
        return said + " is not 1 to 255";
    if ((name == "BaudRate" || name == "LineBaudRate") &&
        std::find(kSpeeds.begin(), kSpeeds.end(), number) == kSpeeds.end())
        return said + " is not a speed the port takes";
    if ((name == "CommandDelay" || name == "CharDelay") && !Within(number, 0, 255))
        return said + " is not 0 to 255 ms";
    if (name == "AnswerRings" && !Within(number, 0, 255))
        return said + " is not 0 to 255";
    return {};
}

bool ParseIndex(std::string_view text, int32_t& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && out >= -1;
}

} // namespace vekmdm
