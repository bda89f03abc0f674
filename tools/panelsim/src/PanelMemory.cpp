#include "PanelMemory.h"

#include <algorithm>
#include <fstream>

namespace panelsim {

std::vector<uint8_t> PanelMemory::Read(uint16_t address, size_t length) const
{
    length = std::min(length, kSize);
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = m_bytes[(address + i) % kSize];
    return bytes;
}

void PanelMemory::Write(uint16_t address, std::span<const uint8_t> bytes)
{
    const size_t length = std::min(bytes.size(), kSize);
    for (size_t i = 0; i < length; ++i)
        m_bytes[(address + i) % kSize] = bytes[i];
}

bool PanelMemory::Load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::vector<uint8_t> image(kSize);
    file.read(reinterpret_cast<char*>(image.data()), static_cast<std::streamsize>(kSize));
    const auto got = static_cast<size_t>(file.gcount());
    std::copy_n(image.begin(), got, m_bytes.begin());
    return true;
}

bool PanelMemory::Save(const std::string& path) const
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    file.write(reinterpret_cast<const char*>(m_bytes.data()), static_cast<std::streamsize>(kSize));
    return static_cast<bool>(file);
}

} // namespace panelsim
