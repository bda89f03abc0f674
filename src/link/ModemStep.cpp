#include "link/ModemStep.h"

#include "host/HostPanelRecord.h"
#include "link/BuildLinkFrame.h"
#include "link/CallPhase.h"
#include "link/LineLoss.h"
#include "link/LineSpeed.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "link/WorkerNotify.h"
#include "modem/ModemCommands.h"
#include "modem/ParseModemResponse.h"
#include "vek_comm2.h"

#include <algorithm>

namespace vek {
namespace {

constexpr int32_t kExpectAnyThenIdentify = 99;
constexpr int32_t kExpectAny = 100;
constexpr int32_t kCodeAnswerIdentify = 13;

uint32_t Milliseconds(int32_t ms) { return ms > 0 ? static_cast<uint32_t>(ms) : 0; }

std::unique_ptr<CPool> BareAtStep()
{
    return std::make_unique<CPool>(std::string(MODEM_ATTENTION_LINE), STEP_MODEM, kExpectAny, CODE_NONE, 1, 0);
}

std::unique_ptr<CPool> OnHookStep(const CModem& modem, int32_t expect, int32_t clearRx)
{
    return std::make_unique<CPool>(HangUpLine(modem), STEP_MODEM, expect, CODE_NONE, clearRx, 0);
}

// A speed of 0 or below from a record or a definition would only be refused.
void SetSpeedIfUsable(Session& session, int32_t speed)
{
    if (speed > 0)
        SetPortSpeed(session, speed);
}

bool IsEscapeStep(const CPool& step, const CModem* modem)
{
    // An empty escape would match every step without text, such as a
    // CONNECT poll whose command has already gone out.
    if (modem == nullptr || modem->m_strEscape.empty())
        return false;
    return std::string(step.m_data.begin(), step.m_data.end()) == modem->m_strEscape;
}

void Succeed(Session& session, std::unique_ptr<CPool> step, int32_t result)
{
    g_nRetries = 0;
    if (step->m_nExpect == kExpectAnyThenIdentify && result == MODEM_RESULT_CONNECT) {
        step->m_nCode = VEK_NOTIFY_CONNECTED;
        CSingleLock lock(g_csQueue);
        g_requestQueue.clear();
        QueueAppend(std::make_unique<CPool>(BuildLinkFrame(session), STEP_IDENTIFY, 0, VEK_NOTIFY_IDENTIFIED, 1),
                    false);
    }
    ApplyModemCodeAction(session, *step);
    if (const CModem* modem = session.CurrentModem()) {
        if (modem->m_dwFlags & MODEM_ATTENTION)
            Sleep(kAttentionModemPauseMs);
        if (modem->m_nCommandDelay != 0)
            Sleep(Milliseconds(modem->m_nCommandDelay));
    }
    PostStepDone(session, step->m_nCode);
}

// The caller holds g_csQueue. The host's requests still waiting end with
// one 27 (unless the loss already said it), then everything queued goes.
void DropQueue(const Session& session)
{
    if (!g_bCallLost && QueueHoldsHostRequest()) {
        g_bCallLost = 1;
        PostNotice(session, VEK_NOTIFY_LINK_LOST);
    }
    g_requestQueue.clear();
}

// The modem cannot be brought to put the line down as it should (the escape
// unanswered, the on-hook or the reset failing): the call ends anyway. The
// port closes with the reset, which drops DTR, and a modem hangs up on that.
// After a loss the modem's silence says nothing new: no 28 then.
void EndCallAfterModemFailure(Session& session, bool onHookReported)
{
    {
        CSingleLock lock(g_csQueue);
        BeginEndingCall();
        DropQueue(session);
    }
    g_bOnline = 0;
    if (!onHookReported)
        PostStepDone(session, VEK_NOTIFY_ON_HOOK);
    PostStepDone(session, VEK_NOTIFY_MODEM_READY);
    PostStepDone(session, VEK_NOTIFY_END_OF_CALL, g_nCallSerial);
    if (!g_bCallLost)
        PostNotice(session, VEK_NOTIFY_MODEM_FAILED);
}

void Fail(Session& session, std::unique_ptr<CPool> step)
{
    g_nRetries = 0;
    ResetQueueEvent();
    if (step->m_bTeardown) {
        EndCallAfterModemFailure(session, step->m_nCode == VEK_NOTIFY_MODEM_READY);
        return;
    }
    const int32_t result = g_nModemResult;
    const bool expectConnect = step->m_nExpect == MODEM_RESULT_CONNECT;
    bool redial = false;
    if (expectConnect && result == MODEM_RESULT_BUSY) {
        PostNotice(session, VEK_NOTIFY_BUSY);
    } else if (expectConnect && result == MODEM_RESULT_NO_DIALTONE) {
        PostNotice(session, VEK_NOTIFY_NO_DIALTONE);
    } else if (expectConnect && result == MODEM_RESULT_NO_CARRIER) {
        PostNotice(session, VEK_NOTIFY_NO_CARRIER);
    } else if (expectConnect && step->m_nCode == CODE_NONE) {
        g_bOnline = 0;
        PostNotice(session, VEK_NOTIFY_LINK_LOST);
        PostNotice(session, VEK_NOTIFY_ON_HOOK);
        redial = true;
    } else {
        PostNotice(session, VEK_NOTIFY_MODEM_FAILED);
    }
    step.reset();
    CSingleLock lock(g_csQueue);
    DropQueue(session);
    if (redial) {
        if (const CModem* modem = session.CurrentModem())
            QueueInsertHead(OnHookStep(*modem, kExpectAny, 1), false);
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, CODE_NONE, 1), false);
        g_evQueue.Set();
        return;
    }
    // A command that failed during a call (a speed change, the answered
    // line's extended mode) leaves it in no known state: it is ended.
    if (g_bOnline && BeginEndingCall())
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, CODE_NONE, 1), true);
}

// Returns false when the escape retries are spent.
bool RetryEscape(Session& session, std::unique_ptr<CPool>& step)
{
    if (g_nRetries >= kEscapeRetries)
        return false;
    ++g_nRetries;
    session.m_commCtrl.SetInBufferCount(0);
    Sleep(2 * Milliseconds(step->m_nTimeout));
    QueueInsertHead(std::move(step), false);
    return true;
}

void PollConnect(Session& session, std::unique_ptr<CPool> step)
{
    CSingleLock lock(g_csQueue);
    if (g_requestQueue.empty())
        return; // nothing behind the wait: it is dropped
    if (step->m_nCode == VEK_NOTIFY_CONNECTED && g_requestQueue.size() >= 2) {
        // The host queued work behind the answer script: give up answering.
        g_requestQueue.pop_front();
        step.reset();
        const CModem* modem = session.CurrentModem();
        if (modem != nullptr && !modem->IsPCLink())
            QueueInsertHead(OnHookStep(*modem, kExpectAnyThenIdentify, 0), false);
        return;
    }
    ++g_nRetries;
    step->m_data.clear();
    step->m_bClearRx = 0;
    QueueInsertHead(std::move(step), false);
}

void PollRing(std::unique_ptr<CPool> step)
{
    CSingleLock lock(g_csQueue);
    if (g_requestQueue.empty())
        return;
    const auto identify = std::find_if(g_requestQueue.begin(), g_requestQueue.end(),
                                       [](const auto& s) { return s && s->m_nType == STEP_IDENTIFY; });
    if (identify != g_requestQueue.end() && std::next(identify) != g_requestQueue.end()) {
        // Work is queued behind the answer script: drop the script.
        g_requestQueue.erase(g_requestQueue.begin(), std::next(identify));
        return;
    }
    step->m_bClearRx = 0;
    QueueInsertHead(std::move(step), false);
}

} // namespace

void ApplyModemCodeAction(Session& session, CPool& step)
{
    const PanelRecordView record(session.m_pPanelRecord);
    const CModem* modem = session.CurrentModem();
    switch (step.m_nCode) {
    case 87:
        SetPortSpeed(session, 1200);
        step.m_nCode = CODE_NONE;
        break;
    case 86:
        SetPortSpeed(session, 300);
        step.m_nCode = CODE_NONE;
        break;
    case 35:
        if (record.IsAttached() && record.LineSpeed() != session.m_nCurrentBaudRate)
            SetSpeedIfUsable(session, record.LineSpeed());
        break;
    case 84:
        if (modem != nullptr && modem->m_nLineBaudRate > session.m_nCurrentBaudRate)
            SetSpeedIfUsable(session, modem->m_nLineBaudRate);
        QueueInsertHead(BareAtStep(), false);
        step.m_nCode = CODE_NONE;
        break;
    case 9:
    case 85: {
        int32_t speed = session.m_nCurrentBaudRate;
        if (record.IsAttached() && !session.m_bIdBlock)
            speed = record.SecondLineSpeed();
        else if (!record.IsAttached() && modem != nullptr)
            speed = modem->m_nBaudRate;
        SetSpeedIfUsable(session, speed);
        QueueInsertHead(BareAtStep(), false);
        if (step.m_nCode == 85)
            step.m_nCode = CODE_NONE;
        break;
    }
    default: break;
    }
}

void RunModemStep(Session& session, std::unique_ptr<CPool> step)
{
    if (step->m_nExpect == MODEM_RESULT_CONNECT && step->m_nCode == VEK_NOTIFY_CONNECTED) {
        // A call taken while answering goes back to answering when it ends.
        CSingleLock lock(g_csQueue);
        if (!g_requestQueue.empty() && g_requestQueue.front() && g_requestQueue.front()->m_nCode == kCodeAnswerIdentify)
            g_bRestartAnswer = 1;
    }
    if (WaitForEvent(g_evModemDone, Milliseconds(step->m_nTimeout)) != WaitResult::Timeout) {
        const int32_t result = g_nModemResult;
        // NO CARRIER to the escape: the modem is in command mode already, and
        // the on-hook and reset that follow still have to run.
        const bool escapedAlready = result == MODEM_RESULT_NO_CARRIER && IsEscapeStep(*step, session.CurrentModem());
        if (result == step->m_nExpect || step->m_nExpect == kExpectAny || step->m_nExpect == kExpectAnyThenIdentify ||
            escapedAlready)
            Succeed(session, std::move(step), result);
        else
            Fail(session, std::move(step));
        return;
    }
    // A vanished device will never answer: say so rather than "failed".
    if (EndUseOfVanishedDevice(session, true))
        return;
    if (IsEscapeStep(*step, session.CurrentModem())) {
        // A modem that will not leave data mode: 8, 9 and the end, then 28.
        if (!RetryEscape(session, step)) {
            g_nRetries = 0;
            EndCallAfterModemFailure(session, false);
        }
        return;
    }
    if (step->m_nExpect == MODEM_RESULT_CONNECT &&
        (step->m_nCode == VEK_NOTIFY_CONNECTED || g_nRetries < kConnectPollSlices)) {
        PollConnect(session, std::move(step));
        return;
    }
    if (step->m_nExpect == MODEM_RESULT_RING) {
        PollRing(std::move(step));
        return;
    }
    Fail(session, std::move(step));
}

} // namespace vek
