#include "link/LineLoss.h"

#include "dialog/CCommStatusDlg.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "link/WorkerNotify.h"
#include "vek_comm2.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace vek {
namespace {

bool IsTeardown(const CPool* step)
{
    return step != nullptr && (step->m_nType == STEP_CALL || step->m_nType == STEP_DEFER_CALL);
}

// The caller holds g_csQueue.
bool TeardownUnderWay(const CPool* inHand)
{
    return IsTeardown(inHand) ||
           std::any_of(g_requestQueue.begin(), g_requestQueue.end(), [](const auto& s) { return IsTeardown(s.get()); });
}

} // namespace

void SignalLineLost()
{
    // Hosts that want only the no-answer counting turn the rule off.
    if (const char* v = std::getenv("VEK_LINE_LOSS_AT_ONCE"); v != nullptr && std::string_view(v) == "0")
        return;
    g_bLineLost = 1;
    // The worker waits for the first byte, for silence, or for work.
    g_evBytesArrived.Set();
    g_evRxSilence.Set();
    g_evQueue.Set();
}

void ClearLineLoss()
{
    g_bLineLost = 0;
    g_bModemInCommandMode = 0;
}

bool EndCallIfLineLost(CCommStatusDlg& dlg, std::unique_ptr<CPool>& step)
{
    if (!g_bLineLost.exchange(0) || !g_bOnline)
        return false;
    CSingleLock lock(g_csQueue);
    g_bModemInCommandMode = 1;
    if (TeardownUnderWay(step.get()))
        return false;
    const int32_t callCode = step && step->m_nCode == VEK_NOTIFY_INCOMING_IDENTIFIED ? step->m_nCode : CODE_NONE;
    step.reset();
    g_nRetries = 0;
    PostNotice(dlg, g_bSessionUp ? VEK_NOTIFY_LINK_LOST : VEK_NOTIFY_NO_IDENTIFICATION);
    g_requestQueue.clear();
    if (dlg.m_commCtrl.IsDeviceGone()) {
        // Nothing can be sent any more: report the line down and reset.
        g_bOnline = 0;
        PostStepDone(dlg, VEK_NOTIFY_ON_HOOK);
        PostStepDone(dlg, VEK_NOTIFY_MODEM_READY);
        PostStepDone(dlg, VEK_NOTIFY_END_OF_CALL, g_nCallSerial);
        return true;
    }
    auto end = std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, callCode, 1);
    end->m_nTimeout = 0; // the panel is gone: no moment to wait for it
    QueueAppend(std::move(end), true);
    return true;
}

bool EndUseOfVanishedDevice(CCommStatusDlg& dlg, bool stepInHand)
{
    if (g_bOnline || !dlg.m_commCtrl.IsDeviceGone())
        return false;
    bool hangingUp = false;
    {
        CSingleLock lock(g_csQueue);
        // Nothing in hand: the next CommInit finds the device gone and says so.
        if (g_requestQueue.empty() && !stepInHand)
            return false;
        hangingUp = std::any_of(g_requestQueue.begin(), g_requestQueue.end(), [](const auto& s) {
            return s->m_nType == STEP_MODEM && s->m_nCode == VEK_NOTIFY_ON_HOOK;
        });
        g_requestQueue.clear();
    }
    if (hangingUp) {
        // A call being ended: with the device gone the line is down, which
        // is what the host asked for. It hears the end as from a mid-call loss.
        PostStepDone(dlg, VEK_NOTIFY_ON_HOOK);
        PostStepDone(dlg, VEK_NOTIFY_MODEM_READY);
    } else {
        PostNotice(dlg, VEK_NOTIFY_PORT_UNAVAILABLE);
    }
    PostStepDone(dlg, VEK_NOTIFY_END_OF_CALL, g_nCallSerial);
    return true;
}

} // namespace vek
