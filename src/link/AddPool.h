// A host transfer request becomes packet steps on the queue.
#pragma once

#include "vek_comm2.h"

namespace vek {

class Session;

// Returns 1 when it took the request: the record and its data block are then
// the library's and freed before it returns, and the host hears how it ends
// (5 or 6, or 97 when it cannot be carried). Returns 0 when it did not take
// it (no modem, no open port, no readable record): the blocks stay the host's.
int AddPool(Session& session, HGLOBAL request);

} // namespace vek
