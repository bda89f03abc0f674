// The packet step: the frame has gone out; collect the panel's reply, judge
// it and act on the outcome, keeping the link-quality counters.
#pragma once

#include "link/CPool.h"
#include "link/CommThreadProc.h"

#include <cstdint>
#include <memory>

namespace vek {

class Session;

// Wait for the first byte of a reply, and the shorter wait in slow mode.
inline constexpr uint32_t kFirstByteWaitMs = 8000;
inline constexpr uint32_t kSlowFirstByteWaitMs = 4000;
// Silence that ends a reply: short-code panels, slow request pacing, others.
inline constexpr uint32_t kShortCodeSilenceMs = 2500;
inline constexpr uint32_t kSlowRequestSilenceMs = 2000;
inline constexpr uint32_t kReplySilenceMs = 1000;
// Silent first-byte waits slow mode absorbs before one counts.
inline constexpr int32_t kSlowModeTimeoutLimit = 900;
inline constexpr uint32_t kBusyPauseMs = 500;
inline constexpr int32_t kReopenRetries = 4;
// Counted no-answers beyond which the link is lost.
inline constexpr int32_t kHostNoResponseLimit = 4;
// Failed exchanges that cost no efficiency, in a row, that end the link as
// ten counted ones would.
inline constexpr int32_t kUncountedFailureLimit = 10;

void RunPacketStep(Session& session, std::unique_ptr<CPool> step, WakeReason wake);

// What a failed exchange costs, and whether it is tried again, split or the
// end of the link.
void FailPacketStep(Session& session, std::unique_ptr<CPool> step);

} // namespace vek
