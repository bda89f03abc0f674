#include "link/Sum8.h"

#include <gtest/gtest.h>

#include <vector>

namespace vek {
namespace {

TEST(Sum8, NothingSumsToZero)
{
    const std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_EQ(Sum8(bytes.data(), 0), 0);
    EXPECT_EQ(Sum8(bytes.data(), -5), 0);
    EXPECT_EQ(Sum8(std::vector<uint8_t>{}), 0);
}

TEST(Sum8, SumsOnlyTheFirstCountBytes)
{
    const std::vector<uint8_t> bytes = {0x80, 0x07, 0x50};
    EXPECT_EQ(Sum8(bytes.data(), 2), 0x87);
    EXPECT_EQ(Sum8(bytes.data(), 3), 0xD7);
}

TEST(Sum8, WrapsModulo256WithoutComplement)
{
    const std::vector<uint8_t> bytes = {0xFF, 0xFF, 0x03};
    EXPECT_EQ(Sum8(bytes), 0x01);
    EXPECT_EQ(Sum8(std::vector<uint8_t>{0x07, 0x10, 0x20, 0x31}), 0x68);
}

} // namespace
} // namespace vek
