#include "platform/Event.h"

#include "platform/Clock.h"
#include "platform/EventHub.h"

#include <chrono>
#include <cstdint>

namespace vek {

void Event::Set()
{
    std::lock_guard lock(EventHubMutex());
    m_set = true;
    EventHubCondition().notify_all();
}

void Event::Reset()
{
    std::lock_guard lock(EventHubMutex());
    m_set = false;
}

bool Event::IsSet() const
{
    std::lock_guard lock(EventHubMutex());
    return m_set;
}

namespace {

// Guarded by the hub mutex.
bool g_waitsAbandoned = false;
// The calling thread runs a manual clock's idle hook.
thread_local bool t_inIdleHook = false;

} // namespace

// Holds the wait logic for both clocks; a friend of Event and ManualClock.
class EventWaiter {
public:
    static WaitResult Wait(Event* const* events, int count, uint32_t timeoutMs)
    {
        std::unique_lock lock(EventHubMutex());
        if (const int hit = Pick(events, count); hit >= 0)
            return Result(hit);
        if (timeoutMs == 0 || g_waitsAbandoned)
            return WaitResult::Timeout;
        Clock& clock = GetClock();
        if (clock.IsManual())
            return WaitManual(lock, static_cast<ManualClock&>(clock), events, count, timeoutMs);
        return WaitReal(lock, events, count, timeoutMs);
    }

private:
    static int Pick(Event* const* events, int count)
    {
        for (int i = 0; i < count; ++i) {
            if (!events[i]->m_set)
                continue;
            if (events[i]->m_kind == Event::Kind::AutoReset)
                events[i]->m_set = false;
            return i;
        }
        return -1;
    }

    static WaitResult Result(int hit)
    {
        static constexpr WaitResult kByIndex[] = {WaitResult::Object0, WaitResult::Object1, WaitResult::Object2};
        return kByIndex[hit];
    }

    static WaitResult WaitReal(std::unique_lock<std::mutex>& lock, Event* const* events, int count, uint32_t timeoutMs)
    {
        auto& cv = EventHubCondition();
        if (timeoutMs == INFINITE_WAIT) {
            for (;;) {
                cv.wait(lock);
                if (const int hit = Pick(events, count); hit >= 0)
                    return Result(hit);
                if (g_waitsAbandoned)
                    return WaitResult::Timeout;
            }
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const bool timedOut = cv.wait_until(lock, deadline) == std::cv_status::timeout;
            if (const int hit = Pick(events, count); hit >= 0)
                return Result(hit);
            if (timedOut || g_waitsAbandoned)
                return WaitResult::Timeout;
        }
    }

    static WaitResult WaitManual(std::unique_lock<std::mutex>& lock, ManualClock& clock, Event* const* events,
                                 int count, uint32_t timeoutMs)
    {
        const bool infinite = timeoutMs == INFINITE_WAIT;
        const uint64_t deadline = clock.m_now + timeoutMs;
        ++clock.m_waiters;
        ++clock.m_entries;
        EventHubCondition().notify_all(); // WaitForWaiters looks at the count
        WaitResult result = WaitResult::Timeout;
        for (;;) {
            if (const int hit = Pick(events, count); hit >= 0) {
                result = Result(hit);
                break;
            }
            if ((!infinite && clock.m_now >= deadline) || g_waitsAbandoned)
                break;
            if (clock.m_autoAdvance && clock.m_idleHook && !t_inIdleHook) {
                const ManualClock::IdleHook hook = clock.m_idleHook;
                lock.unlock();
                t_inIdleHook = true;
                const bool acted = hook(infinite ? UINT64_MAX : deadline);
                t_inIdleHook = false;
                lock.lock();
                if (acted)
                    continue;
                if (infinite)
                    break;
            }
            if (!infinite && clock.m_autoAdvance) {
                clock.m_now = deadline;
                break;
            }
            EventHubCondition().wait(lock);
        }
        --clock.m_waiters;
        return result;
    }
};

WaitResult WaitForEvent(Event& ev, uint32_t timeoutMs)
{
    Event* events[] = {&ev};
    return EventWaiter::Wait(events, 1, timeoutMs);
}

WaitResult WaitForEither(Event& first, Event& second, uint32_t timeoutMs)
{
    Event* events[] = {&first, &second};
    return EventWaiter::Wait(events, 2, timeoutMs);
}

WaitResult WaitForAny(Event& first, Event& second, Event& third, uint32_t timeoutMs)
{
    Event* events[] = {&first, &second, &third};
    return EventWaiter::Wait(events, 3, timeoutMs);
}

void AbandonWaits(bool on)
{
    std::lock_guard lock(EventHubMutex());
    g_waitsAbandoned = on;
    EventHubCondition().notify_all();
}

void Sleep(uint32_t ms)
{
    if (ms == 0)
        return;
    EventWaiter::Wait(nullptr, 0, ms);
}

} // namespace vek
