// Win32-style events: manual or auto reset, waits on one or two with a
// time-out. All events share one lock and condition, which keeps waits on
// two events simple; the library has only a handful of them.
#pragma once

#include <cstdint>

namespace vek {

inline constexpr uint32_t INFINITE_WAIT = 0xFFFFFFFFu;

enum class WaitResult { Object0, Object1, Object2, Timeout };

class Event {
public:
    enum class Kind { ManualReset, AutoReset };
    explicit Event(Kind kind, bool initiallySet = false) : m_kind(kind), m_set(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    bool IsSet() const;

private:
    friend class EventWaiter;
    Kind m_kind;
    bool m_set;
};

// Waits until the event is set (an auto-reset event is consumed) or the
// time-out passes on the library's clock.
WaitResult WaitForEvent(Event& ev, uint32_t timeoutMs);
// Same for two events; when both are set the first wins.
WaitResult WaitForEither(Event& first, Event& second, uint32_t timeoutMs);
// Same for three; the earliest set one wins.
WaitResult WaitForAny(Event& first, Event& second, Event& third, uint32_t timeoutMs);
// While on, every wait and sleep ends at once (events already set are still
// taken): the library's threads run out of their steps in moments when a
// process ends or unloads the library without Uninit.
void AbandonWaits(bool on);
// Sleeps on the library's clock.
void Sleep(uint32_t ms);

} // namespace vek
