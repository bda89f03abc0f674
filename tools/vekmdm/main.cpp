// vekmdm: shows, creates and edits modem database files.
#include "modem/CModemSettings.h"
#include "modem/ModemDatabaseFile.h"
#include "modem/ModemFields.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

using namespace vek;

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

constexpr const char* kVersion = "vekmdm " VEK_TOOLS_VERSION;

void Usage(std::FILE* to)
{
    std::fputs("usage:\n"
               "  vekmdm show FILE                     print every definition and the indices\n"
               "  vekmdm new FILE                      write the built-in definition\n"
               "  vekmdm add FILE                      append a copy of the built-in definition\n"
               "  vekmdm set FILE INDEX FIELD VALUE    change one field of definition INDEX\n"
               "  vekmdm set FILE outgoing|incoming VALUE\n"
               "  vekmdm fields                        list the field names\n"
               "  vekmdm --help | --version\n"
               "Values the library cannot use are refused: ComPort 1 to 255, BaudRate and\n"
               "LineBaudRate a line speed the port takes, strings no longer than the field of\n"
               "the modem setup record, outgoing and incoming naming a definition (or -1).\n"
               "Exit codes: 0 done, 1 the file could not be read or written, 2 usage or a\n"
               "value refused.\n",
               to);
}

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

// Why the library could not use this value; empty when it can.
std::string RefuseValue(const ModemFieldInfo& field, std::string_view value)
{
    const std::string name(field.name);
    if (field.isText) {
        for (const TextLimit& limit : kTextLimits)
            if (limit.field == field.name && value.size() > limit.longest)
                return name + " is at most " + std::to_string(limit.longest) + " characters, not " +
                       std::to_string(value.size());
        return {};
    }
    long long number = 0;
    if (!ParseNumber(value, number))
        return "\"" + std::string(value) + "\" is not a number";
    if (name == "m_nComPort" && (number < 1 || number > 255))
        return "ComPort " + std::to_string(number) + " is not 1 to 255";
    if ((name == "m_nBaudRate" || name == "m_nLineBaudRate") &&
        std::find(kSpeeds.begin(), kSpeeds.end(), number) == kSpeeds.end())
        return name.substr(3) + " " + std::to_string(number) + " is not a speed the port takes";
    if ((name == "m_nCommandDelay" || name == "m_nCharDelay") && (number < 0 || number > 255))
        return name.substr(3) + " " + std::to_string(number) + " is not 0 to 255 ms";
    if (name == "m_nAnswerRings" && (number < 0 || number > 255))
        return "AnswerRings " + std::to_string(number) + " is not 0 to 255";
    return {};
}

// Loads FILE strictly: unlike the library, a missing file is an error here,
// and one that cannot be read is not called damaged.
bool Load(const std::string& path, CModemSettings& settings)
{
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        std::fprintf(stderr, "vekmdm: %s: is a directory\n", path.c_str());
        return false;
    }
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        std::fprintf(stderr, "vekmdm: %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::fclose(probe);
    if (LoadModemDatabaseFile(settings, path) != DatabaseLoad::Loaded) {
        std::fprintf(stderr, "vekmdm: %s: not a modem database\n", DamagedDatabaseMessage(path).c_str());
        return false;
    }
    return true;
}

bool Save(const std::string& path, const CModemSettings& settings)
{
    const std::vector<uint8_t> bytes = StoreModemDatabase(settings);
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            const int error = errno;
            std::fprintf(stderr, "vekmdm: %s: cannot write: %s\n", temp.c_str(), std::strerror(error));
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return false;
        }
    }
    // Replace in one step so that a failed write never leaves half a file.
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::fprintf(stderr, "vekmdm: %s: %s\n", path.c_str(), ec.message().c_str());
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

bool ParseIndex(std::string_view text, int32_t& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

int Show(const std::string& path)
{
    CModemSettings settings;
    if (!Load(path, settings))
        return kExitFailure;
    std::fputs(DescribeModemDatabase(settings).c_str(), stdout);
    return 0;
}

int New(const std::string& path)
{
    CModemSettings settings;
    settings.ResetToDefault();
    return Save(path, settings) ? 0 : kExitFailure;
}

int Add(const std::string& path)
{
    CModemSettings settings;
    if (!Load(path, settings))
        return kExitFailure;
    settings.m_modems.push_back(std::make_unique<CModem>());
    if (!Save(path, settings))
        return kExitFailure;
    std::printf("added definition %zu\n", settings.m_modems.size() - 1);
    return 0;
}

int SetIndex(const std::string& path, std::string_view which, std::string_view value)
{
    int32_t index = 0;
    if (!ParseIndex(value, index)) {
        std::fprintf(stderr, "vekmdm: %.*s is not an index\n", static_cast<int>(value.size()), value.data());
        return kExitUsage;
    }
    CModemSettings settings;
    if (!Load(path, settings))
        return kExitFailure;
    if (index != -1 && !settings.ModemAt(index)) {
        const std::string range = settings.m_modems.empty()
                                      ? "the file has none: only -1"
                                      : "0 to " + std::to_string(settings.m_modems.size() - 1) + ", or -1";
        std::fprintf(stderr, "vekmdm: %s: %.*s %d names no definition (%s)\n", path.c_str(),
                     static_cast<int>(which.size()), which.data(), index, range.c_str());
        return kExitUsage;
    }
    (which == "outgoing" ? settings.m_nOutgoing : settings.m_nIncoming) = index;
    return Save(path, settings) ? 0 : kExitFailure;
}

int SetField(const std::string& path, std::string_view indexText, std::string_view fieldName, std::string_view value)
{
    int32_t index = 0;
    if (!ParseIndex(indexText, index)) {
        std::fprintf(stderr, "vekmdm: %.*s is not an index\n", static_cast<int>(indexText.size()), indexText.data());
        return kExitUsage;
    }
    const ModemFieldInfo* field = FindModemField(fieldName);
    if (!field) {
        std::fprintf(stderr, "vekmdm: no field %.*s (try: vekmdm fields)\n", static_cast<int>(fieldName.size()),
                     fieldName.data());
        return kExitUsage;
    }
    if (const std::string refused = RefuseValue(*field, value); !refused.empty()) {
        std::fprintf(stderr, "vekmdm: %s\n", refused.c_str());
        return kExitUsage;
    }
    CModemSettings settings;
    if (!Load(path, settings))
        return kExitFailure;
    CModem* modem = settings.ModemAt(index);
    if (!modem) {
        std::fprintf(stderr, "vekmdm: %s has no definition %d\n", path.c_str(), index);
        return kExitFailure;
    }
    if (!SetModemField(*modem, *field, value)) {
        std::fprintf(stderr, "vekmdm: %.*s is not a 32-bit number\n", static_cast<int>(value.size()), value.data());
        return kExitUsage;
    }
    return Save(path, settings) ? 0 : kExitFailure;
}

int Fields()
{
    for (const ModemFieldInfo& f : ModemFields())
        std::printf("%.*s (%s)\n", static_cast<int>(f.name.size()), f.name.data(), f.isText ? "text" : "number");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        Usage(stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::puts(kVersion);
        return 0;
    }
    if (args.size() == 1 && args[0] == "fields")
        return Fields();
    if (args.size() == 2 && args[0] == "show")
        return Show(std::string(args[1]));
    if (args.size() == 2 && args[0] == "new")
        return New(std::string(args[1]));
    if (args.size() == 2 && args[0] == "add")
        return Add(std::string(args[1]));
    if (args.size() == 4 && args[0] == "set" && (args[2] == "outgoing" || args[2] == "incoming"))
        return SetIndex(std::string(args[1]), args[2], args[3]);
    if (args.size() == 5 && args[0] == "set")
        return SetField(std::string(args[1]), args[2], args[3], args[4]);
    Usage(stderr);
    return kExitUsage;
}
