// vekmdm: shows, creates and edits modem database files.
#include "modem/CModemSettings.h"
#include "modem/ModemDatabaseFile.h"
#include "modem/ModemFields.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

using namespace vek;

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

void Usage()
{
    std::fputs("usage:\n"
               "  vekmdm show FILE                     print every definition and the indices\n"
               "  vekmdm new FILE                      write the built-in definition\n"
               "  vekmdm add FILE                      append a copy of the built-in definition\n"
               "  vekmdm set FILE INDEX FIELD VALUE    change one field of definition INDEX\n"
               "  vekmdm set FILE outgoing|incoming VALUE\n"
               "  vekmdm fields                        list the field names\n",
               stderr);
}

// Loads FILE strictly: unlike the library, a missing file is an error here.
bool Load(const std::string& path, CModemSettings& settings)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(stderr, "vekmdm: %s: no such file\n", path.c_str());
        return false;
    }
    if (LoadModemDatabaseFile(settings, path) != DatabaseLoad::Loaded) {
        std::fprintf(stderr, "vekmdm: %s: the archive file is damaged (not a modem database)\n", path.c_str());
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
            std::fprintf(stderr, "vekmdm: %s: cannot write\n", temp.c_str());
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
    (which == "outgoing" ? settings.m_nOutgoing : settings.m_nIncoming) = index;
    if (index != -1 && !settings.ModemAt(index))
        std::fprintf(stderr, "vekmdm: warning: index %d names no definition\n", index);
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
    Usage();
    return kExitUsage;
}
