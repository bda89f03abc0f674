// Ending a call on the host's request.
#pragma once

namespace vek {

class Session;

// a: with no call, only report (code 40) instead of putting the modem on
// hook; b: restore answering mode afterwards.
void QueueHangUp(Session& session, int a, int b);

} // namespace vek
