#include "link/ReceiveState.h"

namespace vek {

ByteArray g_rxBuffer;

} // namespace vek
