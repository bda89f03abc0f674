// The worker thread: takes one step at a time from the request queue.
#pragma once

#include "link/CPool.h"

#include <memory>

namespace vek {

class Session;

// Why the wait for work ended; the packet exchange looks at it too.
enum class WakeReason { Signalled, TimedOut };

inline constexpr uint32_t kIdleTickMs = 9000;
inline constexpr uint32_t kPauseStepMs = 1000;
inline constexpr uint32_t kSendOnlyPauseMs = 300;

// The thread procedure; returns 0 when g_evStop ends it.
unsigned CommThreadProc(Session* session);

// One pass of the main loop, for the thread and for tests that drive the
// worker on their own thread. Returns false once the stop event was seen.
bool WorkerPass(Session& session);

// The pieces of a pass, in order.
WakeReason WaitForWork();
void IdleWatch(Session& session, WakeReason wake);
std::unique_ptr<CPool> TakeStep();
void PrepareStep(const CPool& step);
void ExecuteStep(Session& session, std::unique_ptr<CPool> step, WakeReason wake);

} // namespace vek
