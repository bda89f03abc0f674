// Changing the line's speed during a call.
#pragma once

#include <cstdint>

namespace vek {

class Session;

// Writes the settings text for the speed to the control and, once it is
// taken, stores the speed as the current one. A refusal leaves the line and
// the stored speed as they were, posts notice 20 through the session's window
// and gives false.
bool SetPortSpeed(Session& session, int32_t speed);

} // namespace vek
