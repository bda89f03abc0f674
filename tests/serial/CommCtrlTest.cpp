// The control's properties and events over the scripted device.
#include "platform/LineFigures.h"
#include "platform/Paths.h"
#include "platform/Trace.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

class CommCtrlTest : public ::testing::Test {
protected:
    CommCtrlTest()
    {
        ctrl().SetRThreshold(1);
        ctrl().SetSThreshold(1);
        ctrl().SetEventWindow(h.DialogWindow().Handle());
        h.OpenPort();
    }

    CCommCtrl& ctrl() { return h.Dlg().m_commCtrl; }

    std::vector<WPARAM> Events()
    {
        std::vector<WPARAM> codes;
        for (const Message& m : h.DialogWindow().Drain(WM_VEK_COMM_EVENT))
            codes.push_back(m.wParam);
        return codes;
    }

    DialogHarness h;
};

TEST_F(CommCtrlTest, InputWithLengthZeroReturnsEverythingWaiting)
{
    h.Device().Inject("HELLO");
    ctrl().SetInputLen(0);
    EXPECT_EQ(ctrl().GetInput(), "HELLO");
    EXPECT_EQ(ctrl().GetInBufferCount(), 0);
}

TEST_F(CommCtrlTest, InputWithLengthNLeavesTheRestWaiting)
{
    h.Device().Inject("HELLO");
    ctrl().SetInputLen(2);
    EXPECT_EQ(ctrl().GetInput(), "HE");
    EXPECT_EQ(ctrl().GetInBufferCount(), 3);
    ctrl().SetInputLen(10);
    EXPECT_EQ(ctrl().GetInput(), "LLO");
}

TEST_F(CommCtrlTest, InBufferCountZeroDiscardsWaitingBytesHereAndInTheDevice)
{
    h.Device().Inject("junk");
    const int before = h.Device().DiscardCount();
    ctrl().SetInBufferCount(0);
    EXPECT_EQ(h.Device().DiscardCount(), before + 1);
    ctrl().SetInputLen(0);
    EXPECT_EQ(ctrl().GetInput(), "");
}

TEST_F(CommCtrlTest, BinaryBytesSurviveTheInputBuffer)
{
    const uint8_t bytes[] = {0x00, 0xFF, 0x0D, 0x00};
    h.Device().Inject(bytes);
    const std::string got = ctrl().GetInput();
    EXPECT_EQ(got, std::string("\x00\xFF\x0D\x00", 4));
}

TEST_F(CommCtrlTest, ReceiveEventsWaitOneAtATimeUntilHandled)
{
    h.Device().Inject("A");
    h.Device().Inject("B");
    h.Device().Inject("C");
    EXPECT_EQ(Events(), (std::vector<WPARAM>{2}));
    ctrl().BeginEvent(2);
    EXPECT_EQ(ctrl().GetCommEvent(), 2);
    h.Device().Inject("D");
    EXPECT_EQ(Events(), (std::vector<WPARAM>{2}));
    EXPECT_EQ(ctrl().GetInput(), "ABCD");
}

TEST_F(CommCtrlTest, ReceiveThresholdZeroRaisesNoReceiveEvent)
{
    ctrl().SetRThreshold(0);
    h.Device().Inject("A");
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(ctrl().GetInBufferCount(), 1);
}

TEST_F(CommCtrlTest, InputBufferIsBoundedAndOverflowIsReportedOnce)
{
    const std::string big(CCommCtrl::kInBufferCapacity - 10, 'x');
    h.Device().Inject(big);
    h.Device().Inject(std::string(100, 'y'));
    h.Device().Inject(std::string(100, 'z'));
    EXPECT_EQ(static_cast<size_t>(ctrl().GetInBufferCount()), CCommCtrl::kInBufferCapacity);
    const auto events = Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), WPARAM{1008}), 1);
}

TEST_F(CommCtrlTest, LineChangesPostTheirCodes)
{
    h.Device().SetCts(false);
    h.Device().SetDsr(false);
    h.Device().SetCd(true);
    h.Device().SetRi(true);
    h.Device().SetRi(false); // only the rising ring is an event
    h.Device().SetCd(true);  // no change, no event
    EXPECT_EQ(Events(), (std::vector<WPARAM>{3, 4, 5, 6}));
    EXPECT_FALSE(ctrl().GetDSRHolding());
}

TEST_F(CommCtrlTest, DrainedOutputPostsOneSendEventUntilHandled)
{
    const uint8_t b = 1;
    ctrl().SetOutput({&b, 1});
    ctrl().SetOutput({&b, 1});
    EXPECT_EQ(Events(), (std::vector<WPARAM>{1}));
    ctrl().BeginEvent(1);
    ctrl().SetOutput({&b, 1});
    EXPECT_EQ(Events(), (std::vector<WPARAM>{1}));
}

TEST_F(CommCtrlTest, VanishedDeviceReportsOnceAndThenStaysSilent)
{
    h.Device().Vanish();
    h.Device().Vanish();
    h.Device().Inject("late");
    EXPECT_EQ(Events(), (std::vector<WPARAM>{4}));
    EXPECT_TRUE(ctrl().GetPortOpen());
    EXPECT_TRUE(ctrl().IsDeviceGone());
    EXPECT_FALSE(ctrl().GetDSRHolding());
    const uint8_t b = 1;
    EXPECT_FALSE(ctrl().SetOutput({&b, 1}));
    ctrl().SetPortOpen(false);
    EXPECT_FALSE(ctrl().IsDeviceGone());
}

TEST_F(CommCtrlTest, SettingsApplyAtOnceOnAnOpenPortAndARefusedSpeedKeepsTheOld)
{
    EXPECT_TRUE(ctrl().SetSettings("2400,N,8,2"));
    EXPECT_EQ(h.Device().CurrentSettings(), "2400,N,8,2");
    h.Device().RefuseSpeed(14400);
    EXPECT_FALSE(ctrl().SetSettings("14400,N,8,2"));
    EXPECT_EQ(h.Device().CurrentSettings(), "2400,N,8,2");
    EXPECT_EQ(ctrl().GetSettings(), "2400,N,8,2");
}

TEST_F(CommCtrlTest, PortOpensTheMappedDeviceWithDtrAsEnabled)
{
    ctrl().SetPortOpen(false);
    SetPortDevice(5, "/dev/scripted-five");
    ctrl().SetCommPort(5);
    ctrl().SetDTREnable(true);
    ASSERT_TRUE(ctrl().SetPortOpen(true));
    EXPECT_EQ(h.Device().OpenedPath(), "/dev/scripted-five");
    EXPECT_TRUE(h.Device().Dtr());
    SetPortDevice(5, nullptr);
}

TEST_F(CommCtrlTest, PortZeroHasNoDevice)
{
    ctrl().SetPortOpen(false);
    ctrl().SetCommPort(0);
    EXPECT_FALSE(ctrl().SetPortOpen(true));
    EXPECT_FALSE(ctrl().GetPortOpen());
}

TEST_F(CommCtrlTest, ClosingDropsWaitingInput)
{
    h.Device().Inject("abc");
    ctrl().SetPortOpen(false);
    EXPECT_EQ(ctrl().GetInBufferCount(), 0);
}

// The bytes sent as counted when each trace line is written.
struct SentAtTrace {
    std::vector<std::pair<std::string, uint64_t>> lines;
    static void Hook(const char* line, void* context)
    {
        static_cast<SentAtTrace*>(context)->lines.emplace_back(line, CurrentLineCounts().bytesSent);
    }
};

TEST_F(CommCtrlTest, WritesAreCountedBeforeThePeerCanAnswerAndRefusedOnesTakenBack)
{
    h.Device().AddReply("AT\r", {"OK"});
    SentAtTrace seen;
    SetTraceHook(&SentAtTrace::Hook, &seen);
    const uint64_t before = CurrentLineCounts().bytesSent;
    EXPECT_TRUE(ctrl().SetOutput(std::vector<uint8_t>{'A', 'T', '\r'}));
    h.Device().Vanish();
    EXPECT_FALSE(ctrl().SetOutput(std::vector<uint8_t>{'A', 'T'}));
    SetTraceHook(nullptr, nullptr);

    // The reply arrives inside the write; the three bytes already count.
    const auto rx = std::find_if(seen.lines.begin(), seen.lines.end(),
                                 [](const auto& l) { return l.first.find("RX 4F 4B") != std::string::npos; });
    ASSERT_NE(rx, seen.lines.end());
    EXPECT_EQ(rx->second, before + 3);
    EXPECT_EQ(CurrentLineCounts().bytesSent, before + 3);
    ASSERT_FALSE(seen.lines.empty());
    EXPECT_NE(seen.lines.back().first.find("TX not sent"), std::string::npos) << seen.lines.back().first;
}

} // namespace
} // namespace vek::test
