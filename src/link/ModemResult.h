// A modem result the receive route recognised wakes the worker waiting for it.
#pragma once

namespace vek {

// Recognises g_strModemResponse; on a match stores g_nModemResult, notes a
// CONNECT that came before the session, and signals g_evModemDone. The
// caller holds g_csReceive.
void SignalModemResult();

} // namespace vek
