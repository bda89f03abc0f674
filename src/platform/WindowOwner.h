// Whether a message window belongs to the calling thread.
#pragma once

#include "vek_comm2.h"

namespace vek {

// False for an unknown window.
bool IsWindowOwnerThread(HWND hwnd);

} // namespace vek
