// Requests that move a connected line to another speed: up to 1200 or 300
// bit/s after the session opens, down to 300 when 1200 does not hold.
#pragma once

#include "link/CPool.h"

namespace vek {

class Session;

// What an accepted speed step does next, by its expect value: 3 moves the
// modem and the port to 1200 bit/s, 2 the port to 300.
inline constexpr int32_t kExpectUp1200 = 3;
inline constexpr int32_t kExpectUp300 = 2;
// The code of the fall-back to 300 bit/s, which the modem step acts on too.
inline constexpr int32_t kCodeFallBack300 = 86;

// The control frame asking the panel for a new speed. longForm: the panel
// takes the long command form (panel option 0x0008).
ByteArray BuildSpeedChangeFrame(int linkMode, bool longForm, bool to1200);

// Each appends one packet step at the tail, without waking the worker.
void QueueSpeedUp1200(Session& session);
void QueueSpeedUp300(Session& session);
void QueueSpeedDown300(Session& session);

} // namespace vek
