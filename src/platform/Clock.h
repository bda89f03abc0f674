// The one clock behind every wait, sleep and timer. The real clock is the
// default; tests install a ManualClock so that long time-outs cost nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vek {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.
    virtual uint64_t NowMs() = 0;
    virtual bool IsManual() const { return false; }
};

class RealClock final : public Clock {
public:
    uint64_t NowMs() override;
};

// Time moves only when the test says so. A wait on an event with a time-out
// blocks until the event is set or Advance() carries the clock past its
// deadline; with auto-advance, a wait that would block jumps the clock to its
// deadline at once (for step handlers driven on the test's own thread).
class ManualClock final : public Clock {
public:
    explicit ManualClock(uint64_t startMs = 0) : m_now(startMs) {}
    uint64_t NowMs() override;
    bool IsManual() const override { return true; }

    void Advance(uint64_t ms);
    void SetAutoAdvance(bool on);
    // With auto-advance, a test that runs the worker's steps on its own
    // thread lets the rest of the world act while a step waits: the hook is
    // called, with no lock held, when a wait would block. It may advance the
    // clock (not past deadlineMs; UINT64_MAX for a wait without limit) and
    // act; it returns false when nothing happens before the deadline. A wait
    // without limit that nothing can end then returns as timed out. Waits
    // inside the hook do not call it again.
    using IdleHook = std::function<bool(uint64_t deadlineMs)>;
    void SetIdleHook(IdleHook hook);
    // Threads blocked in a timed or untimed wait right now.
    size_t Waiters();
    // Blocks (in real time, at most realTimeoutMs) until at least n threads
    // are waiting. Returns whether they are.
    bool WaitForWaiters(size_t n, int realTimeoutMs = 5000);
    // How many waits have begun so far. A test that advances the clock reads
    // this first and then waits for the next wait to begin, which tells it the
    // other thread has finished reacting.
    uint64_t WaitEntries();
    bool WaitForEntries(uint64_t atLeast, int realTimeoutMs = 5000);

private:
    friend class EventWaiter;
    uint64_t m_now;
    bool m_autoAdvance = false;
    IdleHook m_idleHook;
    size_t m_waiters = 0;
    uint64_t m_entries = 0;
};

Clock& GetClock();
// Installs a clock (null: the real clock). Only while no thread waits.
void SetClock(Clock* clock);
inline uint64_t NowMs() { return GetClock().NowMs(); }

} // namespace vek
