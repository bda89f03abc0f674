#include "link/ModemResult.h"

#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "modem/ParseModemResponse.h"

namespace vek {

void SignalModemResult()
{
    const int32_t result = RecogniseModemResponse(g_strModemResponse);
    if (result < 0)
        return;
    g_nModemResult = result;
    if (result == MODEM_RESULT_CONNECT && !g_bSessionUp)
        g_bConnectPending = 1;
    // The result is stored before the worker is woken to read it.
    g_evModemDone.Set();
}

void Session::ParseModemResponse() { SignalModemResult(); }

} // namespace vek
