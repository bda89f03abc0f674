// Events, waits and the manual clock.
#include "platform/Event.h"
#include "platform/Clock.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace vek::test {
namespace {

TEST(EventTest, AutoResetIsConsumedByOneWaitManualResetIsNot)
{
    Event autoEv(Event::Kind::AutoReset, true);
    EXPECT_EQ(WaitForEvent(autoEv, 0), WaitResult::Object0);
    EXPECT_EQ(WaitForEvent(autoEv, 0), WaitResult::Timeout);

    Event manual(Event::Kind::ManualReset, true);
    EXPECT_EQ(WaitForEvent(manual, 0), WaitResult::Object0);
    EXPECT_EQ(WaitForEvent(manual, 0), WaitResult::Object0);
    manual.Reset();
    EXPECT_EQ(WaitForEvent(manual, 0), WaitResult::Timeout);
}

TEST(EventTest, EitherReportsWhichOneAndPrefersTheFirst)
{
    Event a(Event::Kind::ManualReset), b(Event::Kind::ManualReset);
    b.Set();
    EXPECT_EQ(WaitForEither(a, b, 0), WaitResult::Object1);
    a.Set();
    EXPECT_EQ(WaitForEither(a, b, 0), WaitResult::Object0);
}

TEST(EventTest, TimedWaitOnTheManualClockEndsAtTheDeadline)
{
    ManualClockScope scope(false);
    ManualClock& clock = scope.Clock();
    Event ev(Event::Kind::ManualReset);
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = static_cast<int>(WaitForEvent(ev, 500)); });
    ASSERT_TRUE(clock.WaitForWaiters(1));
    clock.Advance(499);
    EXPECT_TRUE(clock.WaitForWaiters(1));
    EXPECT_EQ(result, -1);
    clock.Advance(1);
    waiter.join();
    EXPECT_EQ(result, static_cast<int>(WaitResult::Timeout));
}

TEST(EventTest, SetWakesAWaiterBeforeItsDeadline)
{
    ManualClockScope scope(false);
    Event ev(Event::Kind::AutoReset);
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = static_cast<int>(WaitForEvent(ev, INFINITE_WAIT)); });
    ASSERT_TRUE(scope.Clock().WaitForWaiters(1));
    ev.Set();
    waiter.join();
    EXPECT_EQ(result, static_cast<int>(WaitResult::Object0));
    EXPECT_FALSE(ev.IsSet()); // consumed by the waiter
}

TEST(EventTest, SleepOnAnAutoAdvancingClockMovesTimeExactly)
{
    ManualClockScope scope(true);
    const uint64_t before = NowMs();
    Sleep(1234);
    EXPECT_EQ(NowMs() - before, 1234u);
}

TEST(EventTest, RealClockSleepLastsAtLeastItsTime)
{
    const uint64_t before = NowMs();
    Sleep(20);
    EXPECT_GE(NowMs() - before, 20u);
}

} // namespace
} // namespace vek::test
