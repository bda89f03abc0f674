// How calls end, in real time: a hang-up that goes back to answering, the
// forced hang-up ahead of queued work, and an idle call that keeps the panel
// busy, asks the host for work and finally asks the host to hang up.
#include "e2e/CallHarness.h"

#include <algorithm>

namespace vek::test {
namespace {

class CallEndingsE2ETest : public CallHarness {
protected:
    void Start(panelsim::Options options = {})
    {
        options.modem.ringIntervalMs = 200;
        StartPanel(options);
        SetupModem();
    }
    static bool WaitingForRing()
    {
        const auto steps = QueuedSteps();
        return steps.size() == 2 && steps.front() == QueuedStep{1, 1, 32, {}};
    }
};

TEST_F(CallEndingsE2ETest, HangUpWithAnswerRestartGoesBackToAnswering)
{
    Start();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    ASSERT_EQ(VEKComm2_HangUp(0, 1), 1);
    ASSERT_TRUE(WaitFor(8)) << CodesText();
    ASSERT_TRUE(WaitFor(9)) << CodesText();
    ASSERT_TRUE(PumpUntil(&WaitingForRing)) << ::testing::PrintToString(sim->Observe().modemCommands);
    EXPECT_EQ(sim->Observe().modemCommands.back(), "ATS0=1");

    // A panel ringing in now is answered.
    sim->Ring(3);
    ASSERT_TRUE(WaitFor(13)) << CodesText();
    EXPECT_EQ(Codes(), (std::vector<WPARAM>{9, 30, 23, 32, 90, 3, 8, 9, 41, 32, 13}));
}

TEST_F(CallEndingsE2ETest, ForcedHangUpGoesAheadOfQueuedWork)
{
    Start();
    ASSERT_TRUE(PlaceCall()) << CodesText();
    const size_t framesBefore = sim->Observe().frames.size();
    for (uint16_t i = 0; i < 4; ++i)
        AddPool('u', 0x52, static_cast<uint16_t>(kPatternAddress + 16 * i), {}, 16);
    ASSERT_EQ(VEKComm2_ForceHangUp(), 1);
    // The abort gets no answer; with efficiency 0 that ends the link.
    ASSERT_TRUE(WaitFor(27, 20000ms)) << CodesText();
    ASSERT_TRUE(WaitFor(8)) << CodesText();
    ASSERT_TRUE(WaitFor(9)) << CodesText();

    const auto frames = sim->Observe().frames;
    const auto abort =
        std::find_if(frames.begin() + static_cast<std::ptrdiff_t>(framesBefore), frames.end(),
                     [](const panelsim::FrameRecord& f) { return f.kind == panelsim::RequestKind::Abort; });
    ASSERT_NE(abort, frames.end());
    // At most the read already under way went before it; none came after.
    EXPECT_LE(abort - frames.begin() - static_cast<std::ptrdiff_t>(framesBefore), 1);
    EXPECT_TRUE(std::none_of(abort, frames.end(),
                             [](const panelsim::FrameRecord& f) { return f.kind == panelsim::RequestKind::Data; }));
    const auto codes = Codes();
    EXPECT_LE(std::count(codes.begin(), codes.end(), WPARAM{6}), 1);
}

TEST_F(CallEndingsE2ETest, IdleCallKeepsThePanelBusyAsksForWorkThenForTheHangUp)
{
    CaptureWindow recordWindow;
    record.Set16(VEK_PANEL_IDLE_FACTOR_A, 9000);
    record.Set16(VEK_PANEL_IDLE_FACTOR_B, 7); // seven silent ticks of 9 s
    record.Set32(VEK_PANEL_RECORD_WINDOW, recordWindow.Handle());
    g_onlineCalls = 0;
    Start();
    ASSERT_TRUE(PlaceCall()) << CodesText();

    std::vector<Message> commands;
    const auto disconnectAsked = [&] {
        for (const Message& m : recordWindow.Drain())
            commands.push_back(m);
        return !commands.empty();
    };
    ASSERT_TRUE(PumpUntil(disconnectAsked, 80000ms));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].message, 273u);
    EXPECT_EQ(commands[0].wParam, 40413u);
    // Asked once for work, after six silent ticks, with the record.
    EXPECT_EQ(g_onlineCalls, 1);
    EXPECT_EQ(g_onlineRecord, record.Get());
    EXPECT_EQ(g_onlineWhat, 600);
    const auto frames = sim->Observe().frames;
    EXPECT_GE(std::count_if(frames.begin(), frames.end(),
                            [](const panelsim::FrameRecord& f) { return f.kind == panelsim::RequestKind::KeepAlive; }),
              6);

    // The host answers as expected: the hang-up reports the idle end first.
    ASSERT_EQ(VEKComm2_HangUp(0, 0), 1);
    ASSERT_TRUE(WaitFor(9)) << CodesText();
    const auto codes = Codes();
    const std::vector<WPARAM> ending(codes.end() - 3, codes.end());
    EXPECT_EQ(ending, (std::vector<WPARAM>{36, 8, 9}));
}

} // namespace
} // namespace vek::test
