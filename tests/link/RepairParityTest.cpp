#include "link/RepairParity.h"

#include "link/Crc16.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vek {
namespace {

// n + 1 clean bytes followed by their CRC, high byte first.
std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes)
{
    const uint16_t crc = Crc16(bytes);
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    bytes.push_back(static_cast<uint8_t>(crc));
    return bytes;
}

TEST(IdentificationRepairParity, CleanBytesMatchWithTheFirstMask)
{
    auto block = WithCrc({0x02, 0x02, 0x02, 0x12, 0x20, 0x01, 0x11, 0x22, 0x00, 0x33, 0x44});
    const auto before = block;
    EXPECT_EQ(RepairParity(block, 10), 1);
    EXPECT_EQ(block, before);
}

TEST(IdentificationRepairParity, ClearsTheParityBitsTheLineAdded)
{
    const auto clean = WithCrc({0x02, 0x02, 0x02, 0x12, 0x20, 0x01, 0x11, 0x22, 0x00, 0x33, 0x44});
    auto received = clean;
    for (size_t i : {0U, 2U, 5U, 9U, 11U, 12U}) {
        received[i] |= 0x80; // the check bytes may carry parity too
    }
    EXPECT_EQ(RepairParity(received, 10), 1);
    for (size_t i = 0; i <= 10; ++i) {
        EXPECT_EQ(received[i], clean[i]) << "byte " << i;
    }
    // The check bytes are compared on 7 bits and kept as received.
    EXPECT_EQ(received[11], clean[11] | 0x80);
}

TEST(IdentificationRepairParity, NoMaskMatchesLeavesTheArrayAlone)
{
    auto block = WithCrc({0x82, 0x82, 0x82, 0x12, 0x20, 0x01, 0x11, 0x22, 0x00, 0x33, 0x44});
    block[11] ^= 0x01; // not a parity fault
    const auto before = block;
    EXPECT_EQ(RepairParity(block, 10), 0);
    EXPECT_EQ(block, before);
}

TEST(IdentificationRepairParity, ShortArraysAndWildNAreRefused)
{
    std::vector<uint8_t> shortBlock = {0x02, 0x02, 0x02};
    EXPECT_EQ(RepairParity(shortBlock, 10), 0);
    EXPECT_EQ(RepairParity(shortBlock, 1), 0);
    EXPECT_EQ(RepairParity(shortBlock, -1), 0);
    std::vector<uint8_t> big(64, 0);
    EXPECT_EQ(RepairParity(big, kRepairParityMaxN + 1), 0);
    EXPECT_EQ(RepairParity(big, 40), 0);
}

TEST(IdentificationRepairParity, FirstMatchInMaskOrderWins)
{
    // With bytes 0 and 1 both 0x80 and a CRC computed for 0x00 0x80, mask 1
    // (clear byte 0 only) matches before mask 3 (clear both).
    auto block = WithCrc({0x00, 0x80, 0x10});
    block[0] = 0x80;
    EXPECT_EQ(RepairParity(block, 2), 1);
    EXPECT_EQ(block[0], 0x00);
    EXPECT_EQ(block[1], 0x80);
}

// The plain search: every mask in increasing order, a whole CRC for each.
int RepairByEveryCrc(std::vector<uint8_t>& array, int n)
{
    const size_t count = static_cast<size_t>(n) + 1;
    for (uint32_t mask = 0; mask < (1U << count); ++mask) {
        std::vector<uint8_t> copy(array.begin(), array.begin() + static_cast<std::ptrdiff_t>(count));
        for (size_t j = 0; j < count; ++j) {
            if (mask & (1U << j)) {
                copy[j] &= 0x7F;
            }
        }
        const uint16_t crc = Crc16(copy);
        if (((crc >> 8) & 0x7F) == (array[count] & 0x7F) && (crc & 0x7F) == (array[count + 1] & 0x7F)) {
            std::copy(copy.begin(), copy.end(), array.begin());
            return 1;
        }
    }
    return 0;
}

TEST(IdentificationRepairParity, AgreesWithTryingEveryMaskInTurn)
{
    // Random blocks, half of them with a true CRC under random parity bits,
    // the rest with check bytes that may match some mask or none.
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245U + 12345U;
        return static_cast<uint8_t>(seed >> 16);
    };
    int repaired = 0;
    for (int round = 0; round < 400; ++round) {
        const int n = round % 2 == 0 ? 10 : 13;
        std::vector<uint8_t> clean(static_cast<size_t>(n) + 1);
        for (auto& b : clean) {
            b = next() & 0x7F;
        }
        auto block = WithCrc(clean);
        for (auto& b : block) {
            b |= static_cast<uint8_t>(next() & 0x80);
        }
        if (round % 4 >= 2) {
            block[block.size() - 1 - (round % 2)] ^= next() & 0x7F;
        }
        auto fast = block;
        auto plain = block;
        const int got = RepairParity(fast, n);
        ASSERT_EQ(got, RepairByEveryCrc(plain, n)) << "round " << round;
        ASSERT_EQ(fast, plain) << "round " << round;
        repaired += got;
    }
    EXPECT_GE(repaired, 200) << "every block with a true CRC is repaired";
}

} // namespace
} // namespace vek
