#include "link/QueueHangUp.h"

#include "host/PostToHost.h"
#include "link/CallPhase.h"
#include "link/FramesControl.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "vek_comm2.h"

namespace vek {
namespace {

void HangUpWithoutCall(Session& session, int a)
{
    g_bAnswerMode = 0;
    if (!session.m_commCtrl.GetPortOpen()) {
        // The modem cannot be reached: just tell the host the line is down.
        PostToHost(VEK_NOTIFY_ON_HOOK);
        PostToHost(VEK_NOTIFY_MODEM_READY);
        return;
    }
    auto step = a != 0 ? std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, VEK_NOTIFY_NOT_CONNECTED, 1)
                       : std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, CODE_NONE, 1);
    QueueAppend(std::move(step), true);
}

} // namespace

void QueueHangUp(Session& session, int a, int b)
{
    g_nAnswerRestartArg = b;
    // Already being ended (a loss, an earlier hang-up): its end is queued,
    // and a second one would run after the port has closed.
    if (CallIsEnding())
        return;
    if (!g_bOnline) {
        HangUpWithoutCall(session, a);
        return;
    }
    // The panel has not identified itself yet: nothing to hang up safely.
    if (g_bConnectPending)
        return;
    CSingleLock lock(g_csQueue);
    if (!BeginEndingCall())
        return;
    if (g_bIdleDisconnect)
        PostToHost(VEK_NOTIFY_IDLE_HANGUP);
    const int32_t code = b != 0 ? 88 : CODE_NONE;
    QueueAppend(std::make_unique<CPool>(BuildHangUpFrame(session.m_nLinkMode), STEP_DEFER_CALL, 0, code, 1), true);
}

} // namespace vek
