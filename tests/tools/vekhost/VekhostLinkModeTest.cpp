// Transfers shaped for the link mode: the command bytes a mode reads and
// writes with, what its frames can carry and mode 3's address form.
#include "vekhost/LinkModeRules.h"

#include <gtest/gtest.h>

namespace vekhost {
namespace {

TransferArgument Read(uint32_t address, uint32_t count) { return {TransferKind::Read, address, count, {}, {}}; }

TransferArgument Write(uint32_t address, std::vector<uint8_t> bytes)
{
    const auto count = static_cast<uint32_t>(bytes.size());
    return {TransferKind::Write, address, count, std::move(bytes), {}};
}

TEST(VekhostLinkModeTest, ShortCodesFollowTheLibrarysTable)
{
    struct Case {
        uint8_t command;
        uint8_t count;
        uint8_t code;
    };
    const Case cases[] = {
        {1, 1, 0x80}, {1, 3, 0x90},  {1, 4, 0xA0},    {1, 13, 0xB0},   {2, 1, 0xC0},  {2, 8, 0xF0},
        {3, 2, 0x09}, {4, 7, 0x0E},  {5, 9, 0x40},    {6, 1, 0x50},    {10, 4, 0x06}, {3, 0, 0x00},
        {0, 4, 0x00}, {11, 4, 0x00}, {0x52, 4, 0x00}, {0x57, 4, 0x00},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortCodeFor(c.command, c.count), c.code) << int(c.command) << " " << int(c.count);
}

TEST(VekhostLinkModeTest, DefaultsPerMode)
{
    struct Case {
        int mode;
        uint8_t read;
        uint8_t write;
        uint32_t largest;
    };
    const Case cases[] = {
        {1, 0x52, 0x57, 250}, {2, 0x52, 0x57, 1024}, {3, 1, 2, 255}, {4, 0x52, 0x57, 1024}, {5, 0x52, 0x57, 1024}};
    for (const Case& c : cases) {
        const LinkModeDefaults d = DefaultsForLinkMode(c.mode);
        EXPECT_EQ(d.readCommand, c.read) << c.mode;
        EXPECT_EQ(d.writeCommand, c.write) << c.mode;
        EXPECT_EQ(d.largestRequest, c.largest) << c.mode;
    }
}

TEST(VekhostLinkModeTest, ModeThreeAddsTheTwoByteAddressWhenAnAddressNeedsIt)
{
    struct Case {
        std::vector<TransferArgument> transfers;
        uint16_t options;
        bool given;
        uint16_t expected;
        bool error;
    };
    const Case cases[] = {
        {{Read(0x00F0, 16)}, 0, false, 0x0000, false},
        {{Read(0x00F0, 17)}, 0, false, 0x0080, false},
        {{Write(0x0200, {0xDE, 0xAD, 0xBE, 0xEF}), Read(0x0200, 4)}, 0, false, 0x0080, false},
        {{Read(0x0200, 4)}, 0x0040, true, 0, true},
        {{Read(0x0200, 4)}, 0x00C0, true, 0x00C0, false},
        {{Read(0x0010, 4)}, 0x0040, true, 0x0040, false},
    };
    for (const Case& c : cases) {
        TransferShape shape{3, 1, 2, 64, c.options, c.given};
        const std::string error = ShapeTransfers(shape, c.transfers);
        EXPECT_EQ(!error.empty(), c.error) << error;
        if (!c.error) {
            EXPECT_EQ(shape.panelOptions, c.expected);
        }
    }
}

TEST(VekhostLinkModeTest, CommandsThatCarryNoDataInModeThreeAreRefused)
{
    const std::vector<TransferArgument> both{Write(0x10, {1, 2}), Read(0x10, 2)};
    TransferShape writeShape{3, 1, 0x57, 64, 0, false};
    EXPECT_NE(ShapeTransfers(writeShape, both).find("--write-cmd 0x57"), std::string::npos);
    TransferShape readShape{3, 0x52, 2, 64, 0, false};
    EXPECT_NE(ShapeTransfers(readShape, both).find("--read-cmd 0x52"), std::string::npos);
    // Only the direction that is used is checked.
    const std::vector<TransferArgument> reads{Read(0x10, 2)};
    EXPECT_EQ(ShapeTransfers(writeShape, reads), "");
    // The long modes take any command byte.
    TransferShape longShape{2, 0x00, 0xFF, 64, 0, false};
    EXPECT_EQ(ShapeTransfers(longShape, both), "");
}

TEST(VekhostLinkModeTest, ChunksLargerThanTheModeCarriesAreRefused)
{
    struct Case {
        int mode;
        uint32_t chunk;
        bool ok;
    };
    const Case cases[] = {{1, 250, true}, {1, 251, false}, {3, 255, true}, {3, 256, false}, {2, 1024, true}};
    for (const Case& c : cases) {
        TransferShape shape{
            c.mode, DefaultsForLinkMode(c.mode).readCommand, DefaultsForLinkMode(c.mode).writeCommand, c.chunk, 0,
            false};
        EXPECT_EQ(ShapeTransfers(shape, std::vector<TransferArgument>{Read(0, 4)}).empty(), c.ok)
            << c.mode << " " << c.chunk;
    }
}

} // namespace
} // namespace vekhost
