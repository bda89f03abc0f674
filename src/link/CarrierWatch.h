// A carrier drop ends an online call only once it has lasted: a carrier
// that dips and comes back (a noisy line, a modem retraining) is not a lost
// line. The receive handler reports the carrier detect line; a timer on a
// thread of its own confirms the drop.
#pragma once

#include <cstdint>

namespace vek {

inline constexpr uint32_t kCarrierDropConfirmMs = 500;

// Dialog thread: the carrier detect line went down, or came back.
void OnCarrierDown();
void OnCarrierUp();
// Ends the confirmation timer's thread (library stop).
void StopCarrierWatch();

// What the timer does when the drop has lasted: signals the loss if the
// carrier is still down and a call is online.
void ConfirmCarrierDrop();

// Step handlers driven on a test's own thread keep time themselves: a test
// says here what starting the timer does instead (null: the real timer).
using CarrierTimerStarter = void (*)(uint32_t delayMs);
void SetCarrierTimerStarter(CarrierTimerStarter starter);

} // namespace vek
