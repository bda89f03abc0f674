#include "link/CarrierWatch.h"

#include "link/LineLoss.h"
#include "link/SessionState.h"
#include "platform/DelayedAction.h"

#include <atomic>

namespace vek {
namespace {

// Written on the dialog thread, read by the timer: atomic.
std::atomic<bool> g_carrierDown{false};
std::atomic<CarrierTimerStarter> g_starter{nullptr};

DelayedAction& Timer()
{
    static DelayedAction timer;
    return timer;
}

} // namespace

void OnCarrierDown()
{
    g_carrierDown = true;
    if (const CarrierTimerStarter starter = g_starter.load()) {
        starter(kCarrierDropConfirmMs);
        return;
    }
    Timer().Arm(kCarrierDropConfirmMs, ConfirmCarrierDrop);
}

void OnCarrierUp()
{
    g_carrierDown = false;
    if (g_starter.load() == nullptr)
        Timer().Cancel();
}

void StopCarrierWatch()
{
    g_carrierDown = false;
    Timer().Cancel();
}

void ConfirmCarrierDrop()
{
    if (g_carrierDown && g_bOnline)
        SignalLineLost();
}

void SetCarrierTimerStarter(CarrierTimerStarter starter) { g_starter = starter; }

} // namespace vek
