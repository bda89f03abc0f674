#include "link/RxSilenceTimer.h"

#include "link/RequestQueue.h"
#include "platform/Thread.h"

#include <atomic>

namespace vek {
namespace {

std::atomic<SilenceTimerStarter> g_starter{nullptr};

} // namespace

void RxSilenceTimerProc(uint32_t intervalMs)
{
    for (;;) {
        g_evBytesArrived.Reset();
        switch (WaitForEither(g_evBytesArrived, g_evPacketComplete, intervalMs)) {
        case WaitResult::Timeout: g_evRxSilence.Set(); return;
        case WaitResult::Object1: return; // a whole frame: nothing to time
        case WaitResult::Object0: break;  // more bytes: start again
        }
    }
}

void StartRxSilenceTimer(uint32_t intervalMs)
{
    if (const SilenceTimerStarter starter = g_starter.load()) {
        starter(intervalMs);
        return;
    }
    StartDetachedThread([intervalMs] { RxSilenceTimerProc(intervalMs); }, true);
}

void SetSilenceTimerStarter(SilenceTimerStarter starter) { g_starter = starter; }

} // namespace vek
