// The Hangup button: while online, a fixed abort pattern jumps the queue.
#include "dialog/CCommStatusDlg.h"
#include "link/AbortPattern.h"
#include "link/CallPhase.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"

namespace vek {

void CCommStatusDlg::ForcedHangUp()
{
    if (!g_bOnline)
        return;
    CSingleLock lock(g_csQueue);
    // A call already being ended needs no abort: its teardown is queued.
    if (!BeginEndingCall())
        return;
    // Efficiency 0: should the panel not answer, the session ends at once.
    g_nEfficiency = 0;
    auto step = std::make_unique<CPool>(AbortPattern(m_nLinkMode), STEP_PACKET, 0, CODE_NONE, 1);
    step->m_bAbort = true;
    g_requestQueue.push_front(std::move(step));
    g_evQueue.Set();
}

} // namespace vek
