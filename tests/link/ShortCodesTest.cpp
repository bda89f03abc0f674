#include "link/ShortCodes.h"

#include <gtest/gtest.h>

#include <map>

namespace vek {
namespace {

TEST(ShortCodeReplyLength, MatchesTheTableForEveryCode)
{
    std::map<int, int> expected;
    for (int c : {0x00, 0x02, 0x03}) {
        expected[c] = 1;
    }
    for (int c : {0x04, 0x05, 0x06, 0x07, 0x08, 0x0C, 0x40, 0x45, 0x50, 0x60, 0x80, 0xC0}) {
        expected[c] = 2;
    }
    for (int c : {0x01, 0x09, 0x0D, 0x90, 0xD0}) {
        expected[c] = 3;
    }
    for (int c : {0x0A, 0x0E, 0xA0, 0xE0}) {
        expected[c] = 5;
    }
    for (int c : {0x0B, 0x0F, 0xB0, 0xF0}) {
        expected[c] = 9;
    }
    for (int code = 0; code < 256; ++code) {
        const int want = expected.count(code) ? expected[code] : 255;
        EXPECT_EQ(ShortReplyLength(static_cast<uint8_t>(code)), want) << "code " << code;
    }
}

TEST(ShortCodeReplyLength, TopCodesAreOutsideTheTable)
{
    for (int code = 0xF1; code <= 0xFF; ++code) {
        EXPECT_EQ(ShortReplyLength(static_cast<uint8_t>(code)), 255);
    }
}

TEST(ShortCodeReplyLength, Code50IsWiderOnlyForTheE2Version96Panel)
{
    EXPECT_EQ(ShortReplyLength(0x50, false), 2);
    EXPECT_EQ(ShortReplyLength(0x50, true), 4);
    EXPECT_EQ(ShortReplyLength(0x40, true), 2);
    EXPECT_TRUE(IsWideCode50Panel(0xE2, 0x96));
    EXPECT_FALSE(IsWideCode50Panel(0xE2, 0x94));
    EXPECT_FALSE(IsWideCode50Panel(0xE9, 0x96));
}

TEST(ShortCodeRequest, SizedCommandsPickTheLargestChunkThatFits)
{
    struct Row {
        int command;
        int codes[5]; // count 0, 1, 2-3, 4-7, 8-255
    };
    const Row rows[] = {
        {1, {0x00, 0x80, 0x90, 0xA0, 0xB0}},
        {2, {0x00, 0xC0, 0xD0, 0xE0, 0xF0}},
        {3, {0x00, 0x08, 0x09, 0x0A, 0x0B}},
        {4, {0x00, 0x0C, 0x0D, 0x0E, 0x0F}},
    };
    for (const Row& row : rows) {
        for (int count = 0; count < 256; ++count) {
            const int column = count == 0 ? 0 : count == 1 ? 1 : count < 4 ? 2 : count < 8 ? 3 : 4;
            EXPECT_EQ(
                ShortRequestCode(static_cast<uint8_t>(row.command), static_cast<uint8_t>(count)), row.codes[column])
                << "command " << row.command << " count " << count;
        }
    }
}

TEST(ShortCodeRequest, FixedCommandsIgnoreTheCount)
{
    const int codes[] = {0x40, 0x50, 0x60, 0x04, 0x05, 0x06};
    for (int command = 5; command <= 10; ++command) {
        for (int count : {0, 1, 3, 200}) {
            EXPECT_EQ(ShortRequestCode(static_cast<uint8_t>(command), static_cast<uint8_t>(count)), codes[command - 5]);
        }
    }
}

TEST(ShortCodeRequest, OtherCommandsGiveCodeZero)
{
    EXPECT_EQ(ShortRequestCode(3, 0), 0x00);
    for (int command : {0, 11, 0x22, 0xFF}) {
        EXPECT_EQ(ShortRequestCode(static_cast<uint8_t>(command), 5), 0x00);
    }
}

} // namespace
} // namespace vek
