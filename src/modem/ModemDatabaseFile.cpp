#include "modem/ModemDatabaseFile.h"

#include "modem/CArchive.h"

#include <filesystem>
#include <fstream>
#include <new>

namespace vek {

namespace {

// A real database holds a handful of definitions of a few hundred bytes each;
// anything this large is not one, and is not read into memory.
constexpr std::uintmax_t kMaxDatabaseBytes = 16u * 1024u * 1024u;

} // namespace

DatabaseLoad LoadModemDatabaseFile(CModemSettings& settings, const std::string& path)
{
    std::error_code ec;
    // A folder of that name cannot be opened as a file either.
    if (!std::filesystem::is_regular_file(path, ec)) {
        settings.ResetToDefault();
        return DatabaseLoad::Defaulted;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        settings.ResetToDefault();
        return DatabaseLoad::Defaulted;
    }

    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxDatabaseBytes)
        return DatabaseLoad::Damaged;
    // Read to the end rather than trusting the size: the file may change.
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(size));
    char buffer[4096];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > kMaxDatabaseBytes)
            return DatabaseLoad::Damaged;
    }
    if (file.bad())
        return DatabaseLoad::Damaged;
    return LoadModemDatabaseBytes(settings, bytes);
}

std::string DamagedDatabaseMessage(const std::string& path)
{
    return "The Archive File Has Been Damaged Please Reinstall (" + path + ")";
}

DatabaseLoad LoadModemDatabaseBytes(CModemSettings& settings, std::span<const uint8_t> bytes)
{
    try {
        CArchive ar(bytes);
        settings.Load(ar);
    } catch (const CArchiveException&) {
        return DatabaseLoad::Damaged;
    } catch (const std::bad_alloc&) {
        return DatabaseLoad::Damaged;
    }
    settings.SelectOutgoing();
    return DatabaseLoad::Loaded;
}

std::vector<uint8_t> StoreModemDatabase(const CModemSettings& settings)
{
    CArchive ar;
    settings.Store(ar);
    return ar.Buffer();
}

} // namespace vek
