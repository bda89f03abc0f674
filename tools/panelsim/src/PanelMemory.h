// The panel's 64 KiB of memory, addressed with 16 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace panelsim {

class PanelMemory {
public:
    static constexpr size_t kSize = 0x10000;

    // Reads and writes run on past 0xFFFF to 0x0000, as a 16-bit address does.
    std::vector<uint8_t> Read(uint16_t address, size_t length) const;
    void Write(uint16_t address, std::span<const uint8_t> bytes);

    // A raw image; a shorter file fills the memory from address 0.
    bool Load(const std::string& path);
    bool Save(const std::string& path) const;

private:
    std::vector<uint8_t> m_bytes = std::vector<uint8_t>(kSize);
};

} // namespace panelsim
