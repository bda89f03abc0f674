// What a transfer must look like in each link mode, settled before anything
// is sent: commands, request sizes, the short codes of mode 3, addresses.
#include "LinkRules.h"
#include "TraceLine.h"

#include <gtest/gtest.h>

namespace vek::internal {
namespace {

struct PlanCase {
    int linkMode;
    uint16_t panelOptions;
    bool write;
    uint32_t address;
    uint32_t count;
    uint32_t chunk;                 // asked; 0: the default
    std::optional<uint8_t> command; // asked
    const char* error;              // "" when the plan stands
    uint8_t plannedCommand;
    uint32_t plannedChunk;
};

TEST(ClientLinkRulesTest, TransfersArePlannedForTheirLinkMode)
{
    const PlanCase cases[] = {
        {2, 0, false, 0x0100, 64, 0, {}, "", 0x52, 1024},
        {2, 0, true, 0x0100, 64, 0, {}, "", 0x57, 1024},
        {1, 0, false, 0x0000, 600, 0, {}, "", 0x52, 250},
        {3, 0, false, 0x0010, 16, 0, {}, "", 1, 255},
        {3, 0, true, 0x0010, 16, 0, {}, "", 2, 255},
        {4, 0, false, 0xFFFF, 1, 0, {}, "", 0x52, 1024},
        {2, 0, false, 0x0100, 64, 16, 0x75, "", 0x75, 16},
        {2, 0, false, 0x0100, 0, 0, {}, "nothing to read (count 0)", 0, 0},
        {2, 0, true, 0x0100, 0, 0, {}, "nothing to write (count 0)", 0, 0},
        {2, 0, false, 0x10000, 1, 0, {}, "address 0x10000 is beyond the panel's 64 KiB", 0, 0},
        {2, 0, false, 0xFFFF, 2, 0, {}, "2 bytes from 0xFFFF run past the end of the panel's 64 KiB", 0, 0},
        {1, 0, false, 0, 8, 251, {}, "a request of 251 bytes is more than link mode 1 carries (250)", 0, 0},
        {3, 0, false, 0, 8, 256, {}, "a request of 256 bytes is more than link mode 3 carries (255)", 0, 0},
        {5, 0, false, 0, 8, 1025, {}, "a request of 1025 bytes is more than link mode 5 carries (1024)", 0, 0},
        {3, 0, false, 0x10, 4, 0, 0x52, "command 0x52 goes out as the empty keep-alive code in link mode 3", 0, 0},
        {3, 0, true, 0x10, 4, 0, 0x57, "command 0x57 goes out as the empty keep-alive code in link mode 3", 0, 0},
        // Addresses above 0xFF in mode 3 need the two-byte address option.
        {3, 0, false, 0x00F0, 16, 0, {}, "", 1, 255},
        {3, 0, false, 0x00F0, 17, 0, {}, "link mode 3 reaches addresses above 0xFF only with the two-byte", 0, 0},
        {3, 0x0080, false, 0x00F0, 17, 0, {}, "", 1, 255},
        {3, 0, true, 0x0100, 1, 0, 4, "link mode 3 reaches addresses above 0xFF only with the two-byte", 0, 0},
    };
    for (const PlanCase& c : cases) {
        Panel panel;
        panel.linkMode = c.linkMode;
        panel.options = c.panelOptions;
        TransferOptions options;
        options.chunk = c.chunk;
        options.command = c.command;
        TransferPlan plan{c.write, c.address, c.count, 0, 0};
        const std::string error = PlanTransfer(panel, options, plan);
        EXPECT_EQ(error.find(c.error), 0u) << c.linkMode << " " << c.address << ": " << error;
        EXPECT_EQ(error.empty(), std::string(c.error).empty()) << error;
        if (error.empty()) {
            EXPECT_EQ(plan.command, c.plannedCommand) << c.linkMode;
            EXPECT_EQ(plan.chunk, c.plannedChunk) << c.linkMode;
        }
    }
}

TEST(ClientLinkRulesTest, ShortCodesCarryTheCommandAndTheSize)
{
    struct Case {
        uint8_t command;
        uint8_t count;
        uint8_t code;
    };
    const Case cases[] = {
        {1, 1, 0x80},  {1, 3, 0x90},   {1, 4, 0xA0}, {1, 13, 0xB0}, {2, 1, 0xC0},    {2, 7, 0xE0},    {2, 8, 0xF0},
        {3, 2, 0x09},  {3, 200, 0x0B}, {4, 1, 0x0C}, {4, 7, 0x0E},  {5, 9, 0x40},    {6, 1, 0x50},    {8, 0, 0x04},
        {10, 4, 0x06}, {3, 0, 0x00},   {0, 4, 0x00}, {11, 4, 0x00}, {0x52, 4, 0x00}, {0x57, 4, 0x00},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShortCodeFor(c.command, c.count), c.code) << int(c.command) << " " << int(c.count);
    for (int command = 11; command < 256; ++command)
        EXPECT_EQ(ShortCodeFor(static_cast<uint8_t>(command), 1), 0x00) << command;
}

TEST(ClientTraceLineTest, LinesOfTheLibrarysTrace)
{
    struct Case {
        const char* line;
        bool parsed;
        TraceEntry::Kind kind;
        uint64_t ms;
        Bytes bytes;
        const char* text;
    };
    const Case cases[] = {
        {"      1234 TX 41 54 0D", true, TraceEntry::Kind::Sent, 1234, {0x41, 0x54, 0x0D}, "TX 41 54 0D"},
        {"7 RX 0D 0A\r", true, TraceEntry::Kind::Received, 7, {0x0D, 0x0A}, "RX 0D 0A"},
        {"12 step begin type 3 code 100", true, TraceEntry::Kind::Step, 12, {}, "step begin type 3 code 100"},
        {"12 TX not sent: Input/output error", true, TraceEntry::Kind::Step, 12, {}, "TX not sent: Input/output error"},
        {"12 RX 4", true, TraceEntry::Kind::Step, 12, {}, "RX 4"},
        {"12 TXT 41", true, TraceEntry::Kind::Step, 12, {}, "TXT 41"},
        {"abc TX 41", false, TraceEntry::Kind::Step, 0, {}, ""},
        {"", false, TraceEntry::Kind::Step, 0, {}, ""},
        {"   ", false, TraceEntry::Kind::Step, 0, {}, ""},
        {"99999999999999999999999 TX 41", false, TraceEntry::Kind::Step, 0, {}, ""},
    };
    for (const Case& c : cases) {
        const auto entry = ParseTraceLine(c.line);
        ASSERT_EQ(entry.has_value(), c.parsed) << c.line;
        if (!entry)
            continue;
        EXPECT_EQ(entry->kind, c.kind) << c.line;
        EXPECT_EQ(entry->ms, c.ms) << c.line;
        EXPECT_EQ(entry->bytes, c.bytes) << c.line;
        EXPECT_EQ(entry->text, c.text) << c.line;
    }
}

} // namespace
} // namespace vek::internal
