// The one door to message 1075: every notification the host hears goes
// through here, to the window it gave VEKComm2_Init.
#pragma once

#include "vek_comm2.h"

namespace vek {

// Posted, never sent: the library never waits for the host.
void PostToHost(WPARAM code, LPARAM lParam = 0);

} // namespace vek
