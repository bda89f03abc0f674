#include "link/RxSilenceTimer.h"

#include "link/RequestQueue.h"
#include "platform/Thread.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace vek {
namespace {

std::atomic<SilenceTimerStarter> g_starter{nullptr};
std::atomic<SilenceTimerCanceller> g_canceller{nullptr};

// The timer's state. m_mutex is held while a timer acts on an event, and a
// cancel takes it to move the generation on, so the two never interleave.
struct TimerState {
    std::mutex mutex;
    std::condition_variable work; // the idle thread waits here, off the clock
    Event evRestart{Event::Kind::AutoReset};
    uint64_t generation = 0;
    uint32_t intervalMs = 0;
    bool pending = false;
    bool stop = false;
    WorkerThread thread;
};

TimerState& State()
{
    static TimerState state;
    return state;
}

template <typename Action> bool ActIfCurrent(uint64_t generation, Action action)
{
    TimerState& t = State();
    std::lock_guard lock(t.mutex);
    if (t.generation != generation)
        return false;
    action();
    return true;
}

void RunTimer(uint64_t generation, uint32_t intervalMs)
{
    TimerState& t = State();
    for (;;) {
        if (!ActIfCurrent(generation, [] { g_evBytesArrived.Reset(); }))
            return;
        switch (WaitForAny(g_evBytesArrived, g_evPacketComplete, t.evRestart, intervalMs)) {
        case WaitResult::Timeout: ActIfCurrent(generation, [] { g_evRxSilence.Set(); }); return;
        case WaitResult::Object1: return; // a whole frame: nothing to time
        case WaitResult::Object2: return; // cancelled or started again
        case WaitResult::Object0: break;  // more bytes: start again
        }
    }
}

void ThreadBody()
{
    TimerState& t = State();
    for (;;) {
        uint64_t generation = 0;
        uint32_t intervalMs = 0;
        {
            std::unique_lock lock(t.mutex);
            t.work.wait(lock, [&t] { return t.stop || t.pending; });
            if (t.stop)
                return;
            t.pending = false;
            generation = t.generation;
            intervalMs = t.intervalMs;
            t.evRestart.Reset(); // only a later start or cancel ends this one
        }
        RunTimer(generation, intervalMs);
    }
}

uint64_t NextGeneration(TimerState& t)
{
    ++t.generation;
    t.evRestart.Set(); // a timer waiting now gives up at once
    return t.generation;
}

} // namespace

void RxSilenceTimerProc(uint32_t intervalMs)
{
    TimerState& t = State();
    uint64_t generation = 0;
    {
        std::lock_guard lock(t.mutex);
        generation = NextGeneration(t);
        t.evRestart.Reset();
    }
    RunTimer(generation, intervalMs);
}

void StartRxSilenceTimer(uint32_t intervalMs)
{
    if (const SilenceTimerStarter starter = g_starter.load()) {
        starter(intervalMs);
        return;
    }
    TimerState& t = State();
    std::lock_guard lock(t.mutex);
    NextGeneration(t);
    t.intervalMs = intervalMs;
    t.pending = true;
    t.stop = false;
    if (!t.thread.Joinable())
        t.thread.Start(ThreadBody, true);
    t.work.notify_one();
}

void CancelRxSilenceTimer()
{
    TimerState& t = State();
    if (g_starter.load() != nullptr) {
        if (const SilenceTimerCanceller canceller = g_canceller.load())
            canceller();
        return;
    }
    std::lock_guard lock(t.mutex);
    NextGeneration(t);
    t.pending = false;
}

void StopRxSilenceTimerThread()
{
    TimerState& t = State();
    {
        std::lock_guard lock(t.mutex);
        NextGeneration(t);
        t.pending = false;
        t.stop = true;
        t.work.notify_one();
    }
    t.thread.Join(); // a later start finds it not joinable and starts it again
}

void SetSilenceTimerStarter(SilenceTimerStarter starter) { g_starter = starter; }

void SetSilenceTimerCanceller(SilenceTimerCanceller canceller) { g_canceller = canceller; }

} // namespace vek
