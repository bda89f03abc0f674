#include "link/RxSilenceTimer.h"

#include "link/RequestQueue.h"
#include "platform/Thread.h"

namespace vek {

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
    StartDetachedThread([intervalMs] { RxSilenceTimerProc(intervalMs); }, true);
}

} // namespace vek
