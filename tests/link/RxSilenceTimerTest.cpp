// The receive-silence timer restarts on every arrival and ends quietly on a
// complete frame.
#include "link/RxSilenceTimer.h"
#include "link/RequestQueue.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace vek::test {
namespace {

class RxSilenceTimerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLinkState(); }
    void TearDown() override { ResetLinkState(); }
    ManualClockScope scope{false};
    ManualClock& clock = scope.Clock();
};

TEST_F(RxSilenceTimerTest, SilenceForTheWholeIntervalSetsTheEvent)
{
    std::thread timer([] { RxSilenceTimerProc(500); });
    ASSERT_TRUE(clock.WaitForWaiters(1));
    clock.Advance(499);
    ASSERT_TRUE(clock.WaitForWaiters(1));
    EXPECT_FALSE(g_evRxSilence.IsSet());
    clock.Advance(1);
    timer.join();
    EXPECT_TRUE(g_evRxSilence.IsSet());
}

TEST_F(RxSilenceTimerTest, EachArrivalStartsTheIntervalAgain)
{
    std::thread timer([] { RxSilenceTimerProc(500); });
    ASSERT_TRUE(clock.WaitForWaiters(1));
    clock.Advance(400);
    const uint64_t entries = clock.WaitEntries();
    g_evBytesArrived.Set();
    ASSERT_TRUE(clock.WaitForEntries(entries + 1)); // waiting again, from now
    clock.Advance(400);
    ASSERT_TRUE(clock.WaitForWaiters(1));
    EXPECT_FALSE(g_evRxSilence.IsSet());
    clock.Advance(100);
    timer.join();
    EXPECT_TRUE(g_evRxSilence.IsSet());
}

TEST_F(RxSilenceTimerTest, ACompleteFrameEndsTheTimerWithoutSilence)
{
    std::thread timer([] { RxSilenceTimerProc(500); });
    ASSERT_TRUE(clock.WaitForWaiters(1));
    g_evPacketComplete.Set();
    timer.join();
    clock.Advance(1000);
    EXPECT_FALSE(g_evRxSilence.IsSet());
}

TEST_F(RxSilenceTimerTest, CancelledTimerLeavesTheNextStepsEventsAlone)
{
    std::thread timer([] { RxSilenceTimerProc(500); });
    ASSERT_TRUE(clock.WaitForWaiters(1));
    CancelRxSilenceTimer(); // the next step begins
    timer.join();           // gone without the clock moving
    g_evBytesArrived.Set(); // the next reply's first byte stays seen
    clock.Advance(1000);
    EXPECT_TRUE(g_evBytesArrived.IsSet());
    EXPECT_FALSE(g_evRxSilence.IsSet());
}

TEST_F(RxSilenceTimerTest, OwnedThreadTimesOnlyTheLatestStartAndStopsWhenAsked)
{
    StartRxSilenceTimer(800);
    ASSERT_TRUE(clock.WaitForWaiters(1));
    const uint64_t entries = clock.WaitEntries();
    StartRxSilenceTimer(300); // the first is given up
    ASSERT_TRUE(clock.WaitForEntries(entries + 1));
    ASSERT_TRUE(clock.WaitForWaiters(1));
    clock.Advance(300);
    for (int i = 0; i < 500 && !g_evRxSilence.IsSet(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_TRUE(g_evRxSilence.IsSet());
    StopRxSilenceTimerThread(); // joins; nothing is left running
    EXPECT_EQ(clock.Waiters(), 0u);
}

} // namespace
} // namespace vek::test
