// Where the current call stands, as far as the host's requests go. A request
// is taken only while the session is open, so that every request the host
// was given 1 for ends in exactly one outcome: nothing is sent before the
// session opens, and nothing is added once the call is being ended.
#pragma once

#include <atomic>
#include <cstdint>

namespace vek {

enum CallPhase : int32_t {
    CALL_CLOSED = 0, // no call, or one still being set up
    CALL_OPEN = 1,   // the session-open frame is queued: requests are taken
    CALL_ENDING = 2, // the end is decided: the teardown runs, nothing is added
};

// Atomic. Moved on by the worker and the host's thread; where the queue
// changes with it, under g_csQueue, so that AddPool, which looks at it under
// the same lock, sees the queue and the phase agree.
inline std::atomic<int32_t> g_nCallPhase{CALL_CLOSED};

// The session-open frame of this call is queued. A call already being ended
// stays ending.
void OpenCallForRequests();
// The call's end is decided. Returns whether it was open (or setting up)
// until now, false when it was already ending.
bool BeginEndingCall();
// A new call begins, or the last one has been reset.
void CloseCall();

inline bool CallIsEnding() { return g_nCallPhase.load() == CALL_ENDING; }
inline bool CallTakesRequests() { return g_nCallPhase.load() == CALL_OPEN; }

} // namespace vek
