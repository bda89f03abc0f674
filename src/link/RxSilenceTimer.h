// Sets g_evRxSilence once no byte has arrived for the interval; ends quietly
// when a complete frame arrives first.
//
// One owned thread runs the timer. Each start cancels the timer before it,
// and a cancelled timer touches no event any more: a timer left over from
// one step must never reset g_evBytesArrived under the next step's reply.
#pragma once

#include <cstdint>

namespace vek {

// The body of a timer started now; runs on the calling thread and gives up
// as soon as the timer is cancelled or started again.
void RxSilenceTimerProc(uint32_t intervalMs);
// Starts the timer on its thread (started with the first timer).
void StartRxSilenceTimer(uint32_t intervalMs);
// After this returns, no timer started before it touches an event.
void CancelRxSilenceTimer();
// Cancels and ends the timer's thread; a later start brings it back.
void StopRxSilenceTimerThread();

// Step handlers driven on a test's own thread cannot race a timer thread on
// the manual clock: a test says here what a started timer does instead.
// Null restores the real timer thread.
using SilenceTimerStarter = void (*)(uint32_t intervalMs);
void SetSilenceTimerStarter(SilenceTimerStarter starter);
// And what a cancel does, while a starter is set (null: nothing).
using SilenceTimerCanceller = void (*)();
void SetSilenceTimerCanceller(SilenceTimerCanceller canceller);

} // namespace vek
