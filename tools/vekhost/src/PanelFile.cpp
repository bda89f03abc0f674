#include "vekhost/PanelFile.h"

#include "vekhost/Numbers.h"

#include <algorithm>
#include <array>
#include <limits>

namespace vekhost {
namespace {

constexpr std::array kKeys{
    PanelKey{"phone", "DIGITS", "number to dial (appended to the dial prefix)"},
    PanelKey{"link-mode", "N", "framing the panel speaks, 1 to 5 (default 2)"},
    PanelKey{"type", "N", "panel type the identification must show (default 19)"},
    PanelKey{"panel-version", "N", "panel version the identification must show (default 2)"},
    PanelKey{"open-code", "HEX", "session open code, hex (default 1234)"},
    PanelKey{"id-code", "HEX", "identification code, hex (default none)"},
    PanelKey{"panel-options", "N", "16-bit panel option bits, e.g. 0x0040 (default 0)"},
    PanelKey{"link-options", "N", "8-bit link option bits, e.g. 0x08 (default 0)"},
    PanelKey{"line-speed", "N", "line speed in answer mode (default: the modem speed)"},
    PanelKey{"second-speed", "N", "line speed once the modem is reset for a call (default: the modem speed)"},
    PanelKey{"direct-speed", "N", "port speed on a direct PC link (default: the modem speed)"},
    PanelKey{"idle-a", "N", "idle disconnect factor A (default 0)"},
    PanelKey{"idle-b", "N", "idle disconnect factor B, 0 never disconnects (default 0)"},
    PanelKey{"host-flags", "N", "32-bit host flags, 0x10000: no idle calls (default 0)"},
};

std::string_view Trim(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A whole number within [low, high]; "-" is allowed when low is negative.
std::string ReadInt(std::string_view key, std::string_view value, long long low, long long high, long long& out)
{
    const bool negative = !value.empty() && value[0] == '-' && low < 0;
    const auto magnitude = ParseUnsigned(negative ? value.substr(1) : value);
    const std::string range = " (" + std::to_string(low) + " to " + std::to_string(high) + ")";
    if (!magnitude || *magnitude > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
        return std::string(key) + ": \"" + std::string(value) + "\" is not a number" + range;
    const long long number = negative ? -static_cast<long long>(*magnitude) : static_cast<long long>(*magnitude);
    if (number < low || number > high)
        return std::string(key) + ": " + std::string(value) + " is out of range" + range;
    out = number;
    return {};
}

template <typename T>
std::string SetInt(std::string_view key, std::string_view value, long long low, long long high, T& field)
{
    long long number = 0;
    std::string error = ReadInt(key, value, low, high, number);
    if (error.empty())
        field = static_cast<T>(number);
    return error;
}

std::string SetHexCode(std::string_view key, std::string_view value, std::string& field)
{
    if (!IsHexText(value))
        return std::string(key) + ": \"" + std::string(value) + "\" is not hexadecimal";
    field = value;
    return {};
}

} // namespace

std::span<const PanelKey> PanelKeys() { return kKeys; }

std::string ApplyPanelKey(vek::Panel& s, std::string_view key, std::string_view value)
{
    value = Trim(value);
    if (key == "phone") {
        s.phone = value;
        return {};
    }
    if (key == "link-mode")
        return SetInt(key, value, 1, 5, s.linkMode);
    if (key == "type")
        return SetInt(key, value, 0, 0xFFFF, s.type);
    // "version" is what panel files said before --panel-version.
    if (key == "panel-version" || key == "version")
        return SetInt(key, value, 0, 0xFFFF, s.version);
    if (key == "open-code")
        return SetHexCode(key, value, s.openCode);
    if (key == "id-code")
        return SetHexCode(key, value, s.idCode);
    if (key == "panel-options")
        return SetInt(key, value, 0, 0xFFFF, s.options);
    if (key == "link-options")
        return SetInt(key, value, 0, 0xFF, s.linkOptions);
    if (key == "line-speed")
        return SetInt(key, value, 0, 115200, s.lineSpeed);
    if (key == "second-speed")
        return SetInt(key, value, 0, 115200, s.secondSpeed);
    if (key == "direct-speed")
        return SetInt(key, value, 0, 115200, s.directSpeed);
    if (key == "idle-a")
        return SetInt(key, value, -32768, 32767, s.idleA);
    if (key == "idle-b")
        return SetInt(key, value, -32768, 32767, s.idleB);
    if (key == "host-flags")
        return SetInt(key, value, 0, 0xFFFFFFFFLL, s.hostFlags);
    return "unknown key \"" + std::string(key) + "\"";
}

std::optional<PanelFileError> ReadPanelText(std::string_view text, vek::Panel& settings)
{
    int number = 0;
    while (!text.empty()) {
        ++number;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (const size_t hash = line.find('#'); hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = Trim(line);
        if (line.empty())
            continue;
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return PanelFileError{number, "expected key = value"};
        const std::string error = ApplyPanelKey(settings, Trim(line.substr(0, equals)), line.substr(equals + 1));
        if (!error.empty())
            return PanelFileError{number, error};
    }
    return std::nullopt;
}

std::string PanelFileHelp()
{
    std::string text = "Panel file (--panel FILE): one \"key = value\" per line, # starts a comment;\n"
                       "numbers are decimal or 0x hexadecimal; options given on the command line win.\n";
    for (const PanelKey& k : kKeys) {
        std::string key(k.key);
        key.resize(std::max<size_t>(key.size(), 14), ' ');
        text += "  " + key + std::string(k.help) + "\n";
    }
    text += "Example:\n  phone = 5551234\n  link-mode = 2\n  type = 19\n  panel-version = 2\n  open-code = 1234\n";
    return text;
}

} // namespace vekhost
