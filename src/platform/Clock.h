// The one clock behind every wait, sleep and timer. The real clock is the
// default; tests install a ManualClock so that long time-outs cost nothing.
#pragma once

#include <cstddef>
#include <cstdint>

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
    size_t m_waiters = 0;
    uint64_t m_entries = 0;
};

Clock& GetClock();
// Installs a clock (null: the real clock). Only while no thread waits.
void SetClock(Clock* clock);
inline uint64_t NowMs() { return GetClock().NowMs(); }

} // namespace vek
