// The line figures and trace lines a host tool takes from the library
// directly: the counts agree with what the trace lines show, and the hook
// stops when it is taken away.
#include "e2e/CallHarness.h"

#include "vek_host.h"

#include <mutex>

namespace vek::test {
namespace {

struct TraceSink {
    std::mutex mutex;
    std::vector<std::string> lines;
};

void CollectTraceLine(const char* line, void* context)
{
    auto* sink = static_cast<TraceSink*>(context);
    std::lock_guard lock(sink->mutex);
    sink->lines.emplace_back(line);
}

// Bytes of the "TX" or "RX" lines: each byte is three characters, " 4F".
uint64_t TracedBytes(const std::vector<std::string>& lines, const std::string& direction)
{
    uint64_t bytes = 0;
    for (const std::string& line : lines) {
        const size_t at = line.find(' ', line.find_first_not_of(' '));
        if (at != std::string::npos && line.compare(at + 1, direction.size(), direction) == 0)
            bytes += (line.size() - at - 1 - direction.size()) / 3;
    }
    return bytes;
}

class ToolLineFiguresE2ETest : public CallHarness {};

TEST_F(ToolLineFiguresE2ETest, FiguresAgreeWithTheTraceLinesTheHostIsGiven)
{
    EXPECT_EQ(VekGetLineFigures(nullptr), 0);
    TraceSink sink;
    VekLineFigures before{};
    ASSERT_EQ(VekGetLineFigures(&before), 1);
    VekSetTraceHook(&CollectTraceLine, &sink);

    panelsim::Options options;
    options.modem.numbers["5551234"] = {panelsim::DialOutcome::Connect, 9600, 300};
    StartPanel(options);
    SetupModem();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    ReadAndWrite();
    VekLineFigures during{};
    ASSERT_EQ(VekGetLineFigures(&during), 1);
    EXPECT_EQ(during.lineSpeed, 9600);
    EXPECT_EQ(during.efficiency, 10);
    ASSERT_TRUE(HangUp()) << CodesText();
    VekSetTraceHook(nullptr, nullptr);

    VekLineFigures after{};
    ASSERT_EQ(VekGetLineFigures(&after), 1);
    std::vector<std::string> lines;
    {
        std::lock_guard lock(sink.mutex);
        lines = sink.lines;
    }
    const uint64_t sent = after.bytesSent - before.bytesSent;
    const uint64_t received = after.bytesReceived - before.bytesReceived;
    // The session-open frame, a read and a write frame at least.
    EXPECT_GT(sent, 20u);
    EXPECT_GT(received, 16u);
    EXPECT_EQ(TracedBytes(lines, "TX"), sent);
    EXPECT_EQ(TracedBytes(lines, "RX"), received);
    EXPECT_GT(after.framesSent, before.framesSent);
    EXPECT_EQ(after.resends, before.resends); // a clean line sends nothing twice

    // Taken away: no more lines arrive.
    const size_t seen = lines.size();
    ASSERT_EQ(VEKComm2_CommInit(), 1); // the modem's reset goes over the line
    ASSERT_TRUE(WaitFor(9)) << CodesText();
    std::lock_guard lock(sink.mutex);
    EXPECT_EQ(sink.lines.size(), seen);
}

} // namespace
} // namespace vek::test
