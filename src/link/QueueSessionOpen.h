// The session-open frame that starts the data exchange with a panel.
#pragma once

namespace vek {

class Session;

// At the head it carries code 100 (a retry after the panel asked for it),
// at the tail code 3 (the host hears when it is acknowledged). Without a
// link mode no frame can be built and nothing is queued.
void QueueSessionOpen(Session& session, bool atHead);

} // namespace vek
