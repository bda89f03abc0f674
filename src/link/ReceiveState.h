// The receive buffer that packet and identification steps read from.
#pragma once

#include "link/CPool.h"

namespace vek {

// Guarded by g_csReceive.
extern ByteArray g_rxBuffer;

} // namespace vek
