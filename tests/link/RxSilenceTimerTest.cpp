// The receive-silence timer restarts on every arrival and ends quietly on a
// complete frame.
#include "link/RxSilenceTimer.h"
#include "link/RequestQueue.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace vek::test
