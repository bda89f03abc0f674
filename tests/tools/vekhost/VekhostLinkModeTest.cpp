// Transfers shaped for the link mode: the command bytes a mode reads and
// writes with, what its frames can carry and mode 3's address form.
#include "vekhost/LinkModeRules.h"

#include <vek/client.hpp>

#include <gtest/gtest.h>

namespace vekhost {
namespace {

TransferArgument Read(uint32_t address, uint32_t count) { return {TransferKind::Read, address, count, {}, {}}; }

TransferArgument Write(uint32_t address, std::vector<uint8_t> bytes)
{
    const auto count = static_cast<uint32_t>(bytes.size());
    return {TransferKind::Write, address, count, std::move(bytes), {}};
}

// vekhost's defaults are the client's limits, which hosts see too.
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
        const vek::LinkLimits d = vek::linkLimits(c.mode);
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
            c.mode, vek::linkLimits(c.mode).readCommand, vek::linkLimits(c.mode).writeCommand, c.chunk, 0, false};
        EXPECT_EQ(ShapeTransfers(shape, std::vector<TransferArgument>{Read(0, 4)}).empty(), c.ok)
            << c.mode << " " << c.chunk;
    }
}

} // namespace
} // namespace vekhost
