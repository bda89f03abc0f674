// Sets g_evRxSilence once no byte has arrived for the interval; ends quietly
// when a complete frame arrives first.
#pragma once

#include <cstdint>

namespace vek {

// The body of the timer; runs on the calling thread.
void RxSilenceTimerProc(uint32_t intervalMs);
// Starts the timer on its own short-lived time-critical thread.
void StartRxSilenceTimer(uint32_t intervalMs);

} // namespace vek
