// How the worker reports to the status dialog: 1026 for a finished step,
// 1025 for a notice. Both are posted, so the worker never waits for the host.
#pragma once

#include "vek_comm2.h"

#include <cstdint>

namespace vek {

class Session;

// The lParam of 1025 with code 100 that marks a partial response.
inline constexpr LPARAM kPartialResponseField = 6005;

void PostStepDone(const Session& session, int32_t code, LPARAM lParam = 0);
void PostNotice(const Session& session, int32_t code, LPARAM lParam = 0);

} // namespace vek
