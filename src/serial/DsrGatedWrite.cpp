#include "serial/DsrGatedWrite.h"

#include "platform/Clock.h"

#include <algorithm>

namespace vek {

Event g_evDsrReady(Event::Kind::ManualReset);

namespace {

constexpr uint32_t kDsrWaitMs = 2000;
// Devices without line-change reports are looked at this often.
constexpr uint32_t kDsrSliceMs = 10;

} // namespace

bool WriteWhenDsrHeld(CCommCtrl& ctrl, std::span<const uint8_t> bytes)
{
    if (ctrl.GetDSRHolding())
        return ctrl.SetOutput(bytes);
    // A vanished device will not raise DSR again: fail at once, quietly.
    if (ctrl.IsDeviceGone())
        return false;
    g_evDsrReady.Reset();
    const uint64_t start = NowMs();
    for (;;) {
        const uint64_t elapsed = NowMs() - start;
        if (elapsed >= kDsrWaitMs) {
            g_evDsrReady.Set();
            return false;
        }
        ctrl.WaitForLineChange(static_cast<uint32_t>(std::min<uint64_t>(kDsrSliceMs, kDsrWaitMs - elapsed)));
        if (ctrl.GetDSRHolding()) {
            g_evDsrReady.Set();
            return ctrl.SetOutput(bytes);
        }
    }
}

} // namespace vek
