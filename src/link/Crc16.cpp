#include "link/Crc16.h"

#include <array>

namespace vek {

namespace {

constexpr std::array<uint16_t, 256> MakeTable()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1U) ? (crc >> 1) ^ kCrc16Polynomial : crc >> 1;
        }
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

constexpr uint16_t kXToZero = 0x8000; // x^0 in the reflected order

// x^(8 * 2^k) for k = 0..63, so any byte count is a product of these.
std::array<uint16_t, 64> MakePowerTable()
{
    std::array<uint16_t, 64> powers{};
    powers[0] = Crc16UpdateByte(kXToZero, 0); // x^8
    for (size_t k = 1; k < powers.size(); ++k) {
        powers[k] = Crc16MultiplyMod(powers[k - 1], powers[k - 1]);
    }
    return powers;
}

} // namespace

uint16_t Crc16UpdateByte(uint16_t crc, uint8_t byte)
{
    return static_cast<uint16_t>(kTable[(crc ^ byte) & 0xFFU] ^ (crc >> 8));
}

uint16_t Crc16Update(uint16_t crc, std::span<const uint8_t> data)
{
    for (uint8_t b : data) {
        crc = static_cast<uint16_t>(kTable[(crc ^ b) & 0xFFU] ^ (crc >> 8));
    }
    return crc;
}

uint16_t Crc16(std::span<const uint8_t> data) { return Crc16Update(0, data); }

uint16_t Crc16(const uint8_t* data, int lastIndex)
{
    if (lastIndex < 0 || data == nullptr) {
        return 0;
    }
    return Crc16Update(0, {data, static_cast<size_t>(lastIndex) + 1});
}

uint16_t Crc16MultiplyMod(uint16_t a, uint16_t b)
{
    unsigned product = 0;
    unsigned multiplicand = b;
    for (unsigned m = 0x8000; m != 0; m >>= 1) {
        if (a & m) {
            product ^= multiplicand;
        }
        multiplicand = (multiplicand & 1U) ? (multiplicand >> 1) ^ kCrc16Polynomial : multiplicand >> 1;
    }
    return static_cast<uint16_t>(product);
}

uint16_t Crc16PowerOfBytes(uint64_t n)
{
    static const std::array<uint16_t, 64> powers = MakePowerTable();
    uint16_t result = kXToZero;
    for (size_t k = 0; n != 0; ++k, n >>= 1) {
        if (n & 1U) {
            result = Crc16MultiplyMod(result, powers[k]);
        }
    }
    return result;
}

uint16_t Crc16ShiftBytes(uint16_t crc, uint64_t n) { return Crc16MultiplyMod(crc, Crc16PowerOfBytes(n)); }

uint16_t Crc16Combine(uint16_t crcA, uint16_t crcB, uint64_t lengthB)
{
    return static_cast<uint16_t>(Crc16ShiftBytes(crcA, lengthB) ^ crcB);
}

} // namespace vek
