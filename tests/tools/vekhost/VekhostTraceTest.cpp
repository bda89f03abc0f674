// Following the library's trace: lines, byte counts, and the traffic as
// people read it.
#include "vekhost/TraceReader.h"
#include "vekhost/Traffic.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace vekhost {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(VekhostTraceTest, LinesOfTheTraceFormat)
{
    const auto tx = ParseTraceLine("      3523 TX 00 05 22");
    ASSERT_TRUE(tx.has_value());
    EXPECT_EQ(tx->ms, 3523u);
    EXPECT_EQ(tx->kind, TraceKind::Sent);
    EXPECT_EQ(tx->bytes, (Bytes{0x00, 0x05, 0x22}));

    const auto rx = ParseTraceLine("1234567890 RX 0D 0A 4F 4B");
    ASSERT_TRUE(rx.has_value());
    EXPECT_EQ(rx->kind, TraceKind::Received);
    EXPECT_EQ(rx->bytes, (Bytes{0x0D, 0x0A, 0x4F, 0x4B}));

    const auto step = ParseTraceLine("         0 step begin type 1 code 84");
    ASSERT_TRUE(step.has_value());
    EXPECT_EQ(step->kind, TraceKind::Step);
    EXPECT_EQ(step->text, "step begin type 1 code 84");

    // Text that only starts like bytes is a step line.
    EXPECT_EQ(ParseTraceLine("        12 TXT speed")->kind, TraceKind::Step);
    EXPECT_FALSE(ParseTraceLine("").has_value());
    EXPECT_FALSE(ParseTraceLine("no time here").has_value());
}

TEST(VekhostTraceTest, TotalsCountBytesEachWay)
{
    TraceTotals totals;
    for (const char* line : {"0 TX 41", "0 TX 54 5A 0D", "1 RX 41 54 5A 0D 0D 0A 4F 4B 0D 0A", "1 step end"})
        totals.Add(*ParseTraceLine(line));
    EXPECT_EQ(totals.sent, 4u);
    EXPECT_EQ(totals.received, 10u);
}

std::vector<TraceRecord> Records(std::initializer_list<const char*> lines)
{
    std::vector<TraceRecord> records;
    for (const char* line : lines)
        records.push_back(*ParseTraceLine(line));
    return records;
}

TEST(VekhostTrafficTest, BytesOfOneDirectionFormOneRowUntilAStep)
{
    const auto rows = GroupTraffic(
        Records({"0 step begin type 1 code 84", "0 TX 41", "0 TX 54", "0 TX 5A", "0 TX 0D", "2 RX 41 54 5A 0D",
                 "3 RX 0D 0A 4F 4B 0D 0A", "3 step end", "3 step begin type 1 code 9", "4 TX 41 54 0D"}));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].kind, TraceKind::Sent);
    EXPECT_EQ(rows[0].bytes, (Bytes{0x41, 0x54, 0x5A, 0x0D}));
    EXPECT_EQ(rows[1].kind, TraceKind::Received);
    EXPECT_EQ(rows[1].ms, 2u);
    EXPECT_EQ(rows[1].bytes.size(), 10u);
    EXPECT_EQ(rows[2].ms, 4u);
}

TEST(VekhostTrafficTest, RowsShowTimeDirectionHexAndText)
{
    const std::vector<TrafficRow> rows = {
        {1000, TraceKind::Sent, {0x41, 0x54, 0x5A, 0x0D}},
        {1302, TraceKind::Received, {0x0D, 0x0A, 0x4F, 0x4B, 0x0D, 0x0A}},
    };
    const auto lines = FormatTraffic(rows, 4);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "      +0 ms  TX   41 54 5A 0D  ATZ.");
    EXPECT_EQ(lines[1], "    +302 ms  RX   0D 0A 4F 4B  ..OK");
    EXPECT_EQ(lines[2], "                  0D 0A        ..");
}

TEST(VekhostTraceTest, FollowerReadsOnlyWhatIsNewAndWholeLines)
{
    char path[] = "/tmp/vekhost-trace-test-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    std::FILE* file = std::fopen(path, "w");
    std::fputs("         1 TX 41\n", file);
    std::fflush(file);

    TraceFollower kept(path);
    kept.SkipExisting(); // a trace the user keeps: start after it
    TraceFollower all(path);
    EXPECT_EQ(all.Poll().size(), 1u);

    std::fputs("         2 RX 4F 4B\n         3 TX 4", file);
    std::fflush(file);
    auto got = kept.Poll();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].ms, 2u);
    EXPECT_EQ(all.Poll().size(), 1u);

    std::fputs("1 54\n", file);
    std::fclose(file);
    got = kept.Poll();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, (Bytes{0x41, 0x54}));
    EXPECT_TRUE(kept.Poll().empty());
    ::unlink(path);

    TraceFollower missing("/tmp/vekhost-no-such-trace");
    EXPECT_TRUE(missing.Poll().empty());
}

} // namespace
} // namespace vekhost
