// The call script step: end a running session and then reset the modem or
// go back to answering, or start the answer script of a panel that calls back.
#pragma once

#include "link/CPool.h"

#include <memory>

namespace vek {

class Session;

// The code of a hang-up asked for with answering to follow.
inline constexpr int32_t kCodeHangUpThenAnswer = 88;

void RunCallStep(Session& session, std::unique_ptr<CPool> step);

} // namespace vek
