// The line traffic in words: modem lines, frames of each link mode with
// their check, identification blocks, and the quiet spells worth naming.
#include "vekhost/FrameDescription.h"
#include "vekhost/Traffic.h"

#include <gtest/gtest.h>

namespace vekhost {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr TraceKind TX = TraceKind::Sent;
constexpr TraceKind RX = TraceKind::Received;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(VekhostFrameDescriptionTest, EachKindOfTrafficInWords)
{
    struct Case {
        TrafficContext context;
        TraceKind direction;
        Bytes bytes;
        const char* text;
    };
    const TrafficContext mode1{1, 0x52, false};
    const TrafficContext mode2{2, 0x52, false};
    const TrafficContext mode3{3, 1, true};
    const TrafficContext mode4{4, 0x52, false};
    const Case cases[] = {
        {mode2, TX, Text("ATDT5551234\r"), "modem: ATDT5551234"},
        {mode2, RX, Text("\r\nCONNECT 9600\r\n"), "modem: CONNECT 9600"},
        {mode2, TX, Text("+++"), "escape to command mode"},
        {mode2,
         RX,
         {0x02, 0x02, 0x02, 0x13, 0x02, 0, 0, 0, 0, 0, 0, 0x62, 0x78},
         "identification: type 19 version 2 (02 02 02 block)"},
        {mode2, TX, {0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8F}, "session open (length 5, CRC good)"},
        {mode2, TX, {0x00, 0x05, 0x22, 0x12, 0x34, 0x0A, 0x8E}, "session open (length 5, CRC BAD)"},
        {mode2, RX, {0x00, 0x03, 0x50, 0xB7, 0xB4}, "acknowledged ('P') (length 3, CRC good)"},
        {mode2, RX, {0x00, 0x04, 0x51, 0x04, 0xEB, 0x75}, "refused ('Q'), reason 4 (length 4, CRC good)"},
        {mode2,
         TX,
         {0x00, 0x07, 0x52, 0x01, 0x00, 0x00, 0x40, 0x5C, 0xB1},
         "read 'R' 0x52 at 0x0100, count 64 (length 7, CRC good)"},
        {mode1, TX, {0x03, 0x54, 0xE0, 0x35}, "hang-up (length 3, CRC good)"},
        {mode4, TX, {0x00, 0x04, 0x00, 0x54, 0xCF, 0xBE}, "hang-up (length 4, sub-address 0x00, CRC good)"},
        {mode3, TX, {0xA0, 0x02, 0x00, 0xA2}, "code 0xA0 (4 bytes) at 0x0200 (sum good)"},
        {mode3, TX, {0xC0, 0x02, 0x04, 0x01, 0xC7}, "code 0xC0 (1 byte) at 0x0204, writes 1 (sum good)"},
        {mode3, RX, {0xA0, 0xDE, 0xAD, 0xBE, 0xEF, 0xD8}, "code 0xA0 reply, 4 data bytes (sum good)"},
        {mode3, RX, {0x45, 0x07, 0x4D}, "refused ('E'), reason byte 7 (sum BAD)"},
        {mode3, RX, {0x00, 0x00}, "keep-alive (sum good)"},
        // Not a whole frame: nothing is claimed.
        {mode2, RX, {0x00, 0x43, 0x52, 0x70}, ""},
        {mode2, RX, {}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DescribeBytes(c.context, c.direction, c.bytes), c.text);
}

TEST(VekhostFrameDescriptionTest, QuietSpellsAreNamedWhereTheyMatter)
{
    const TrafficContext mode2{2, 0x52, false};
    const std::vector<TrafficRow> rows = {
        {0, RX, {0x02, 0x02, 0x02, 0x13, 0x02, 0, 0, 0, 0, 0, 0, 0x62, 0x78}},
        {2500, TX, {0x00, 0x03, 0x54, 0xE0, 0x35}},
        {2520, RX, {0x00, 0x03, 0x50, 0xB7, 0xB4}},
        {2720, TX, Text("+++")},
        {2920, RX, Text("\r\nOK\r\n")},
    };
    const std::vector<std::string> lines = FormatTraffic(rows, 16, &mode2);
    std::vector<std::string> notes;
    for (const std::string& line : lines)
        if (line.find("--") != std::string::npos)
            notes.push_back(line.substr(line.find("--")));
    EXPECT_EQ(notes, (std::vector<std::string>{"-- 2.5 s quiet: the silence after the identification --",
                                               "-- 0.2 s quiet: the escape guard time before +++ --",
                                               "-- 0.2 s quiet: the guard time after +++ --"}));
    // Without a context the rows stay as they were.
    EXPECT_EQ(FormatTraffic(rows, 16).size(), 5u);
}

} // namespace
} // namespace vekhost
