#include "platform/Clock.h"

#include "platform/EventHub.h"

#include <atomic>
#include <chrono>

namespace vek {

std::mutex& EventHubMutex()
{
    static std::mutex m;
    return m;
}

std::condition_variable& EventHubCondition()
{
    static std::condition_variable cv;
    return cv;
}

uint64_t RealClock::NowMs()
{
    using namespace std::chrono;
    static const auto start = steady_clock::now();
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}

uint64_t ManualClock::NowMs()
{
    std::lock_guard lock(EventHubMutex());
    return m_now;
}

void ManualClock::Advance(uint64_t ms)
{
    std::lock_guard lock(EventHubMutex());
    m_now += ms;
    EventHubCondition().notify_all();
}

void ManualClock::SetAutoAdvance(bool on)
{
    std::lock_guard lock(EventHubMutex());
    m_autoAdvance = on;
    EventHubCondition().notify_all();
}

void ManualClock::SetIdleHook(IdleHook hook)
{
    std::lock_guard lock(EventHubMutex());
    m_idleHook = std::move(hook);
}

size_t ManualClock::Waiters()
{
    std::lock_guard lock(EventHubMutex());
    return m_waiters;
}

bool ManualClock::WaitForWaiters(size_t n, int realTimeoutMs)
{
    std::unique_lock lock(EventHubMutex());
    return EventHubCondition().wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] { return m_waiters >= n; });
}

uint64_t ManualClock::WaitEntries()
{
    std::lock_guard lock(EventHubMutex());
    return m_entries;
}

bool ManualClock::WaitForEntries(uint64_t atLeast, int realTimeoutMs)
{
    std::unique_lock lock(EventHubMutex());
    return EventHubCondition().wait_for(lock, std::chrono::milliseconds(realTimeoutMs),
                                        [&] { return m_entries >= atLeast; });
}

namespace {
RealClock g_realClock;
std::atomic<Clock*> g_clock{&g_realClock};
} // namespace

Clock& GetClock() { return *g_clock.load(std::memory_order_acquire); }

void SetClock(Clock* clock) { g_clock.store(clock ? clock : &g_realClock, std::memory_order_release); }

} // namespace vek
