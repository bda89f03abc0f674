#include "link/CallPhase.h"

namespace vek {

void OpenCallForRequests()
{
    int32_t expected = CALL_CLOSED;
    g_nCallPhase.compare_exchange_strong(expected, CALL_OPEN);
}

bool BeginEndingCall() { return g_nCallPhase.exchange(CALL_ENDING) != CALL_ENDING; }

void CloseCall() { g_nCallPhase = CALL_CLOSED; }

} // namespace vek
