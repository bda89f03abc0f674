// The link frame a call sends first, if any: the identification block, the
// dial-command frame or the link request.
#pragma once

#include "link/CPool.h"

namespace vek {

class Session;

// Empty when the call sends no link frame.
ByteArray BuildLinkFrame(const Session& session);

} // namespace vek
