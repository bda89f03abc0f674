// The fixed abort pattern of the forced hang-up: no checksum, so a panel in
// any state recognises it.
#pragma once

#include "link/CPool.h"

namespace vek {

ByteArray AbortPattern(int32_t linkMode);

} // namespace vek
