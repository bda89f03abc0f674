#include "link/RepairParity.h"

#include "link/Crc16.h"

#include <bit>

namespace vek {

int RepairParity(std::vector<uint8_t>& array, int n)
{
    if (n < 0 || n > kRepairParityMaxN || array.size() < static_cast<size_t>(n) + 3) {
        return 0;
    }
    const size_t count = static_cast<size_t>(n) + 1;

    // A mask bit on a byte whose bit 7 is already clear changes nothing, so the
    // first matching mask is always one of these: walking only them in
    // increasing order finds the same copy with far fewer tries.
    uint32_t parityBytes = 0;
    for (size_t j = 0; j < count; ++j) {
        if (array[j] & 0x80U) {
            parityBytes |= 1U << j;
        }
    }

    // The CRC starts at 0 with no final XOR, so it is linear: clearing a set
    // of bits changes it by the XOR of what clearing each bit alone does. One
    // CRC per byte then prices every mask, instead of one CRC per mask.
    std::vector<uint8_t> copy(array.begin(), array.begin() + static_cast<std::ptrdiff_t>(count));
    const uint16_t received = Crc16(copy);
    uint16_t delta[kRepairParityMaxN + 1] = {};
    for (size_t j = 0; j < count; ++j) {
        if (parityBytes & (1U << j)) {
            copy[j] ^= 0x80U;
            delta[j] = static_cast<uint16_t>(Crc16(copy) ^ received);
            copy[j] ^= 0x80U;
        }
    }
    const uint8_t wantHigh = array[count] & 0x7FU;
    const uint8_t wantLow = array[count + 1] & 0x7FU;
    uint32_t mask = 0;
    do {
        uint16_t crc = received;
        for (uint32_t rest = mask; rest != 0; rest &= rest - 1) {
            crc ^= delta[std::countr_zero(rest)];
        }
        if (((crc >> 8) & 0x7FU) == wantHigh && (crc & 0x7FU) == wantLow) {
            for (size_t j = 0; j < count; ++j) {
                if (mask & (1U << j)) {
                    array[j] &= 0x7FU;
                }
            }
            return 1;
        }
        mask = (mask - parityBytes) & parityBytes; // next larger subset
    } while (mask != 0);
    return 0;
}

} // namespace vek
