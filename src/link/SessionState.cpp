#include "link/SessionState.h"

#include "link/LineLoss.h"

namespace vek {

void ResetWorkerCounters()
{
    g_nEfficiency = 10;
    g_nRetries = 0;
    g_nSlowModeTimeouts = 0;
    g_nHostNoResponses = 0;
    g_nUncountedFailures = 0;
    g_nIdleCountdown = 9999;
    g_nKeepAliveCountdown = 9999;
    ClearLineLoss();
}

} // namespace vek
