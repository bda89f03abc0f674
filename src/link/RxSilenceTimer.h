// Sets g_evRxSilence once no byte has arrived for the interval; ends quietly
// when a complete frame arrives first.
#pragma once

#include <cstdint>

namespace vek {

// The body of the timer; runs on the calling thread.
void RxSilenceTimerProc(uint32_t intervalMs);
// Starts the timer on its own short-lived time-critical thread.
void StartRxSilenceTimer(uint32_t intervalMs);

// Step handlers driven on a test's own thread cannot race a timer thread on
// the manual clock: a test says here what a started timer does instead.
// Null restores the real timer thread.
using SilenceTimerStarter = void (*)(uint32_t intervalMs);
void SetSilenceTimerStarter(SilenceTimerStarter starter);

} // namespace vek
