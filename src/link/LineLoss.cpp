#include "link/LineLoss.h"

#include "link/CallPhase.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "link/WorkerNotify.h"
#include "vek_comm2.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace vek {
namespace {

// A hang-up the host asked for (the hang-up frame still queued) is not yet
// the end: a lost line drops it and ends the call at once.
bool IsTeardown(const CPool* step) { return step != nullptr && (step->m_nType == STEP_CALL || step->m_bTeardown); }

// The caller holds g_csQueue. 88 from a hang-up that restarts answering.
int32_t QueuedHangUpCode(int32_t otherwise)
{
    for (const auto& s : g_requestQueue)
        if (s && s->m_nType == STEP_DEFER_CALL)
            return s->m_nCode;
    return otherwise;
}

// The caller holds g_csQueue.
void QueueEnd(int32_t code, bool panelGone)
{
    auto end = std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, code, 1);
    if (panelGone)
        end->m_nTimeout = 0; // no moment to wait for it
    g_requestQueue.clear();
    QueueAppend(std::move(end), true);
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
    g_bCallLost = 0;
}

void EndLostLink(Session& session)
{
    CSingleLock lock(g_csQueue);
    BeginEndingCall();
    g_bCallLost = 1;
    PostNotice(session, VEK_NOTIFY_LINK_LOST);
    QueueEnd(QueuedHangUpCode(CODE_NONE), false);
}

bool EndCallIfLineLost(Session& session, std::unique_ptr<CPool>& step)
{
    if (!g_bLineLost.exchange(0) || !g_bOnline)
        return false;
    CSingleLock lock(g_csQueue);
    g_bModemInCommandMode = 1;
    if (TeardownUnderWay(step.get()))
        return false;
    const int32_t callCode =
        step && step->m_nCode == VEK_NOTIFY_INCOMING_IDENTIFIED ? step->m_nCode : QueuedHangUpCode(CODE_NONE);
    step.reset();
    g_nRetries = 0;
    BeginEndingCall();
    g_bCallLost = 1;
    PostNotice(session, g_bSessionUp ? VEK_NOTIFY_LINK_LOST : VEK_NOTIFY_NO_IDENTIFICATION);
    if (session.m_commCtrl.IsDeviceGone()) {
        // Nothing can be sent any more: report the line down and reset.
        g_requestQueue.clear();
        g_bOnline = 0;
        PostStepDone(session, VEK_NOTIFY_ON_HOOK);
        PostStepDone(session, VEK_NOTIFY_MODEM_READY);
        PostStepDone(session, VEK_NOTIFY_END_OF_CALL, g_nCallSerial);
        return true;
    }
    QueueEnd(callCode, true);
    return true;
}

bool EndUseOfVanishedDevice(Session& session, bool stepInHand)
{
    if (g_bOnline || !session.m_commCtrl.IsDeviceGone())
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
        PostStepDone(session, VEK_NOTIFY_ON_HOOK);
        PostStepDone(session, VEK_NOTIFY_MODEM_READY);
    } else {
        PostNotice(session, VEK_NOTIFY_PORT_UNAVAILABLE);
    }
    PostStepDone(session, VEK_NOTIFY_END_OF_CALL, g_nCallSerial);
    return true;
}

} // namespace vek
