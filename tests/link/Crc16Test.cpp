#include "link/Crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>

namespace vek {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The register update written out bit by bit, as a yardstick for the table.
uint16_t BitwiseCrc(const std::vector<uint8_t>& data)
{
    uint16_t crc = 0;
    for (uint8_t b : data) {
        for (int i = 0; i < 8; ++i) {
            const bool mix = ((crc ^ b) & 1U) != 0;
            crc = static_cast<uint16_t>(crc >> 1);
            if (mix) {
                crc ^= 0xD003;
            }
            b = static_cast<uint8_t>(b >> 1);
        }
    }
    return crc;
}

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> out(n);
    for (auto& b : out) {
        b = static_cast<uint8_t>(byte(rng));
    }
    return out;
}

TEST(Crc16, CheckValueOfDigitsOneToNine) { EXPECT_EQ(Crc16(Bytes("123456789")), 0x6664); }

TEST(Crc16, CheckValueOfAbc) { EXPECT_EQ(Crc16(Bytes("abc")), 0xAF84); }

TEST(Crc16, EmptyRangeAndNegativeLastIndexGiveZero)
{
    const auto digits = Bytes("123456789");
    EXPECT_EQ(Crc16(std::vector<uint8_t>{}), 0);
    EXPECT_EQ(Crc16(digits.data(), -1), 0);
    EXPECT_EQ(Crc16(digits.data(), -1000), 0);
}

TEST(Crc16, LastIndexIsInclusive)
{
    const auto digits = Bytes("123456789");
    EXPECT_EQ(Crc16(digits.data(), 8), 0x6664);
    EXPECT_EQ(Crc16(digits.data(), 2), Crc16(Bytes("123")));
    EXPECT_NE(Crc16(digits.data(), 7), 0x6664);
}

TEST(Crc16, LeadingZeroBytesLeaveTheCrcUnchanged)
{
    const std::vector<uint8_t> mode1 = {0x03, 0x54};
    const std::vector<uint8_t> mode2 = {0x00, 0x03, 0x54};
    EXPECT_EQ(Crc16(mode1), 0xE035);
    EXPECT_EQ(Crc16(mode2), 0xE035);
}

TEST(Crc16, TableMatchesTheBitwiseRegister)
{
    std::mt19937 rng(7);
    for (size_t n : {1, 2, 3, 17, 255, 1000}) {
        const auto data = RandomBytes(rng, n);
        EXPECT_EQ(Crc16(data), BitwiseCrc(data)) << "length " << n;
    }
}

TEST(Crc16, UpdateContinuesACrc)
{
    const auto all = Bytes("123456789");
    const uint16_t head = Crc16(Bytes("1234"));
    EXPECT_EQ(Crc16Update(head, Bytes("56789")), 0x6664);
}

TEST(Crc16, ShiftByZeroBytesEqualsFeedingZeros)
{
    std::mt19937 rng(11);
    for (uint64_t n : {0ULL, 1ULL, 2ULL, 7ULL, 64ULL, 1000ULL, 65537ULL}) {
        const uint16_t start = static_cast<uint16_t>(rng());
        const std::vector<uint8_t> zeros(n, 0);
        EXPECT_EQ(Crc16ShiftBytes(start, n), Crc16Update(start, zeros)) << "n " << n;
    }
}

TEST(Crc16, CombineJoinsTwoCrcs)
{
    std::mt19937 rng(13);
    for (int round = 0; round < 50; ++round) {
        const auto a = RandomBytes(rng, rng() % 300);
        const auto b = RandomBytes(rng, rng() % 300);
        std::vector<uint8_t> ab = a;
        ab.insert(ab.end(), b.begin(), b.end());
        EXPECT_EQ(Crc16Combine(Crc16(a), Crc16(b), b.size()), Crc16(ab));
    }
}

TEST(Crc16, WindowCrcFollowsFromTwoPrefixCrcs)
{
    std::mt19937 rng(17);
    const auto data = RandomBytes(rng, 500);
    const size_t from = 123;
    const size_t to = 457;
    const uint16_t before = Crc16({data.data(), from});
    const uint16_t through = Crc16({data.data(), to});
    const uint16_t window = Crc16({data.data() + from, to - from});
    EXPECT_EQ(static_cast<uint16_t>(through ^ Crc16ShiftBytes(before, to - from)), window);
}

TEST(Crc16, MultiplyByOneIsIdentity)
{
    for (unsigned v : {0x0000U, 0x0001U, 0x8000U, 0x1234U, 0xFFFFU}) {
        EXPECT_EQ(Crc16MultiplyMod(static_cast<uint16_t>(v), 0x8000), v);
        EXPECT_EQ(Crc16MultiplyMod(0x8000, static_cast<uint16_t>(v)), v);
    }
}

} // namespace
} // namespace vek
