// The send path's last step: a write goes out once the modem holds DSR.
#pragma once

#include "platform/Event.h"
#include "serial/CCommCtrl.h"

#include <cstdint>
#include <span>

namespace vek {

// Manual: DSR came up during a guarded write, or the wait gave up (a late
// waiter gives up too).
extern Event g_evDsrReady;

// Writes once DSR is held, waiting at most 2000 ms for it on the library's
// clock (line-change reports, or short looks on devices without them).
// False when DSR never came, the device is gone, or it refused the bytes.
bool WriteWhenDsrHeld(CCommCtrl& ctrl, std::span<const uint8_t> bytes);

} // namespace vek
