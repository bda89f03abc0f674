// The modem command step: send a command, wait for the modem's result, and
// act on it.
#pragma once

#include "link/CPool.h"

#include <cstdint>
#include <memory>

namespace vek {

class Session;

inline constexpr uint32_t kAttentionModemPauseMs = 250;
inline constexpr int32_t kEscapeRetries = 4;
inline constexpr int32_t kConnectPollSlices = 50;

// Runs one STEP_MODEM step whose text has been sent.
void RunModemStep(Session& session, std::unique_ptr<CPool> step);

// The port-speed and bare-AT actions of a successful step's code (87, 86,
// 35, 84, 9 and 85); may change the step's code to 100.
void ApplyModemCodeAction(Session& session, CPool& step);

} // namespace vek
