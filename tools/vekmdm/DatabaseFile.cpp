#include "DatabaseFile.h"

#include "modem/ModemDatabaseFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace vekmdm {

bool Load(const std::string& path, vek::CModemSettings& settings)
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
    if (vek::LoadModemDatabaseFile(settings, path) != vek::DatabaseLoad::Loaded) {
        std::fprintf(stderr, "vekmdm: %s: not a modem database\n", vek::DamagedDatabaseMessage(path).c_str());
        return false;
    }
    return true;
}

bool Save(const std::string& path, const vek::CModemSettings& settings)
{
    const std::vector<uint8_t> bytes = vek::StoreModemDatabase(settings);
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            const int error = errno;
            std::fprintf(stderr, "vekmdm: %s: cannot write: %s\n", temp.c_str(), std::strerror(error));
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::fprintf(stderr, "vekmdm: %s: %s\n", path.c_str(), ec.message().c_str());
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

std::optional<std::string> WhatReplacingLoses(const std::string& path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    // Nothing to lose, or nothing a write could replace (Save says why).
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
        return std::nullopt;
    if (std::filesystem::is_regular_file(status) && std::filesystem::file_size(path, ec) == 0 && !ec)
        return std::nullopt;
    vek::CModemSettings settings;
    switch (vek::LoadModemDatabaseFile(settings, path)) {
    case vek::DatabaseLoad::Loaded: break;
    case vek::DatabaseLoad::Defaulted: return std::string("cannot be read");
    case vek::DatabaseLoad::Damaged: return std::string("is not a modem database");
    }
    const size_t count = settings.m_modems.size();
    return "holds " + std::to_string(count) + (count == 1 ? " definition" : " definitions");
}

} // namespace vekmdm
