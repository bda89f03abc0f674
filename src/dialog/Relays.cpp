// The worker's messages become notifications (1075) to the host main window.
#include "dialog/CCommStatusDlg.h"
#include "host/HostPanelRecord.h"
#include "host/PostToHost.h"
#include "link/CallPhase.h"
#include "link/LineLoss.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "platform/HostLibrary.h"
#include "vek_comm2.h"

#include <algorithm>

namespace vek {
namespace {

void SetSessionOnline()
{
    g_bOnline = 1;
    g_bPanelIdentified = 0;
    g_nEfficiency = 10;
    g_nNoResponses = 0;
    g_nHostNoResponses = 0;
    g_bRestartAnswer = 0;
    g_bIdleDisconnect = 0;
    g_nUncountedFailures = 0;
    ClearLineLoss();
}

} // namespace

LRESULT CCommStatusDlg::OnWorkerNotify(WPARAM wParam, LPARAM)
{
    if (wParam == VEK_NOTIFY_NONE)
        return 0;
    PostToHost(wParam, 0); // notices never carry data
    return 1;
}

LRESULT CCommStatusDlg::OnWorkerStatus(WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case VEK_NOTIFY_NONE: return 1;
    case VEK_NOTIFY_END_OF_CALL:
        // An old call's end arriving after the host began the next one.
        if (lParam == 0 || lParam == g_nCallSerial)
            ResetCall();
        return 1;
    case VEK_NOTIFY_CONNECTED:
        // The step in hand stays; what is queued behind it belonged to
        // setting up the call (a host's request is never dropped here).
        QueueCutToHead();
        SetSessionOnline();
        break;
    default: break;
    }
    PostToHost(wParam, lParam);
    return 1;
}

void CCommStatusDlg::ResetCall()
{
    g_bConnectPending = 0;
    g_bSessionUp = 0;
    m_pPanelRecord = nullptr;
    m_nLinkMode = 0;
    m_nCallMode = 0;
    g_nAnswerRestartArg = 0;
    g_bAnswerMode = 0;
    g_bRestartAnswer = 0;
    m_openCode.clear();
    m_idCode.clear();
    ClearLineLoss();
    CloseCall();
    CSingleLock lock(g_csPort);
    m_commCtrl.SetPortOpen(false);
}

LRESULT CCommStatusDlg::OnKeepAliveDue(WPARAM, LPARAM)
{
    HostPanelRecord* const record = m_pPanelRecord;
    bool askHost = false;
    {
        CSingleLock lock(g_csQueue);
        const PanelRecordView view(record);
        // The tick's own keep-alive may not have been taken yet: it is not work.
        const bool noWork = std::all_of(g_requestQueue.begin(), g_requestQueue.end(),
                                        [](const auto& step) { return step && step->m_bKeepAlive; });
        askHost = view.IsAttached() && !(view.HostFlags() & VEK_HOST_FLAG_NO_IDLE_CALLS) && noWork;
    }
    // No lock is held while the host runs: it may add work, hang up, stop the
    // library (this object is gone afterwards) or end the process.
    if (askHost)
        CallOnlineReqProcess(record, 6, 0);
    return 0;
}

} // namespace vek
