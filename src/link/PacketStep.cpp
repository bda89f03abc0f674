#include "link/PacketStep.h"

#include "host/HostBlock.h"
#include "host/HostPanelRecord.h"
#include "link/EvaluateReply.h"
#include "link/LineLoss.h"
#include "link/LineSpeed.h"
#include "link/QueueHangUp.h"
#include "link/QueueKeepAlive.h"
#include "link/QueueSessionOpen.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/RxSilenceTimer.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "link/SpeedChange.h"
#include "link/SplitTransfer.h"
#include "link/WorkerNotify.h"
#include "modem/ModemCommands.h"
#include "platform/Handles.h"
#include "vek_comm2.h"

#include <algorithm>

namespace vek {
namespace {

enum class Collected { Complete, Failed, NoAnswer, LineLost };

constexpr int32_t kExpectSessionOpen = 0;
constexpr int32_t kCodeSwitchTo1200 = 87;
constexpr int32_t kExtendedModemMinDelayMs = 100;

bool CountingAllowed(const Session& session)
{
    const PanelRecordView record(session.m_pPanelRecord);
    return record.IsAttached() && !(record.HostFlags() & VEK_HOST_FLAG_NO_IDLE_CALLS);
}

uint32_t FirstByteWait() { return g_bSlowMode ? kSlowFirstByteWaitMs : kFirstByteWaitMs; }

uint32_t SilenceInterval(const Session& session)
{
    if (session.m_nLinkMode == 3)
        return kShortCodeSilenceMs;
    return session.m_nRequestDelay > 200 ? kSlowRequestSilenceMs : kReplySilenceMs;
}

void StartSilence(const Session& session)
{
    g_evRxSilence.Reset();
    StartRxSilenceTimer(SilenceInterval(session));
}

void ReportPartial(const Session& session) { PostNotice(session, CODE_NONE, kPartialResponseField); }

// The wait-only copy of an acknowledged step is sent again in full.
void MakeSendable(CPool& step)
{
    if (step.m_dwFlags & REQ_NO_SEND)
        step.m_dwFlags = (step.m_dwFlags & ~REQ_NO_SEND) | REQ_EXPECT_ACK;
}

void RequeueAtHead(std::unique_ptr<CPool> step)
{
    CSingleLock lock(g_csQueue);
    MakeSendable(*step);
    QueueInsertHead(std::move(step), false);
}

// Silence without a frame: maybe a parity bit or a stray byte in front.
// False when the reply is given up.
bool RescanAfterSilence(const Session& session)
{
    CSingleLock lock(g_csReceive);
    if (!g_rxBuffer.Empty())
        g_rxBuffer.ClearFrontBit7();
    const ScanRules rules = CurrentScanRules(session);
    if (RescanPacketBytes(rules).packetComplete)
        return true;
    // The frame that claimed a NO CARRIER line has fallen silent: the line
    // was the modem's after all.
    if (TakeDeferredNoCarrier()) {
        SignalLineLost();
        return false;
    }
    if (g_rxBuffer.Size() > 2) {
        g_rxBuffer.DropFront(1);
        RescanPacketBytes(rules);
        return true;
    }
    if (g_nRetries == 0) {
        g_nRetries = 1;
        StartSilence(session);
        return true;
    }
    ReportPartial(session);
    return false;
}

// After a resync the rest of a frame may still be coming; once only.
bool WaitAfterResync(const Session& session)
{
    g_evBytesArrived.Reset();
    switch (WaitForEither(g_evPacketComplete, g_evBytesArrived, FirstByteWait())) {
    case WaitResult::Object0: return true;
    case WaitResult::Object1:
        if (g_nRetries >= 1)
            break;
        ++g_nRetries;
        StartSilence(session);
        return true;
    case WaitResult::Object2:
    case WaitResult::Timeout: break;
    }
    ReportPartial(session);
    return false;
}

Collected CollectReply(const Session& session, const CPool& step)
{
    const bool firstByte = WaitForEvent(g_evBytesArrived, FirstByteWait()) != WaitResult::Timeout;
    // A reply that came whole is still judged; the loss is taken next.
    if (g_bLineLost && !g_evPacketComplete.IsSet())
        return Collected::LineLost;
    if (!firstByte)
        return Collected::NoAnswer;
    StartSilence(session);
    const uint32_t stepTimeout = step.m_nTimeout > 0 ? static_cast<uint32_t>(step.m_nTimeout) : 0;
    for (;;) {
        const WaitResult got = WaitForEither(g_evPacketComplete, g_evRxSilence, stepTimeout);
        // A frame that failed its check proves nothing; the loss wins.
        if (g_bLineLost && (got != WaitResult::Object0 || !g_bPacketGood))
            return Collected::LineLost;
        if (got == WaitResult::Object0)
            return Collected::Complete;
        if (got == WaitResult::Timeout)
            return Collected::Failed;
        const bool goOn = g_bResynced ? WaitAfterResync(session) : RescanAfterSilence(session);
        if (g_bLineLost)
            return Collected::LineLost;
        if (!goOn)
            return Collected::Failed;
    }
}

void CountNoAnswer(const Session& session, WakeReason wake)
{
    if (g_bSlowMode && g_nSlowModeTimeouts < kSlowModeTimeoutLimit) {
        ++g_nSlowModeTimeouts;
    } else {
        g_nSlowModeTimeouts = 0;
        // Counted with or without a host record: a silent panel behind a
        // carrier that stays up ends the call either way.
        ++g_nHostNoResponses;
        ++g_nNoResponses;
    }
    if (g_bSlowMode && !g_bSlowNoticeSent && wake == WakeReason::Signalled) {
        PostNotice(session, VEK_NOTIFY_PANEL_BUSY);
        g_bSlowNoticeSent = 1;
    }
}

void SessionOpened(Session& session, const CPool& step, HGLOBAL extra)
{
    const CModem* modem = session.CurrentModem();
    const PanelRecordView record(session.m_pPanelRecord);
    const uint16_t options = record.IsAttached() ? record.PanelOptions() : 0;
    const int32_t speed = session.m_nCurrentBaudRate;
    switch (step.m_nExpect) {
    case kExpectSessionOpen:
        if (modem != nullptr && speed < 1200 && !(options & VEK_PANEL_OPT_NO_SPEED_1200) && modem->HasSpeedOption()) {
            QueueSpeedUp1200(session);
            break;
        }
        if (modem != nullptr && speed < 300 && !(options & VEK_PANEL_OPT_NO_SPEED_300)) {
            QueueSpeedUp300(session);
            break;
        }
        PostStepDone(session, VEK_NOTIFY_SESSION_OPENED, HandleToParam(extra));
        return;
    case kExpectUp1200:
        // The panel has moved: follow it with the modem, then the port.
        Sleep(static_cast<uint32_t>(std::max(step.m_nTimeout, 0)));
        if (modem != nullptr) {
            CSingleLock lock(g_csQueue);
            QueueAppend(std::make_unique<CPool>(EscapeLine(*modem), STEP_MODEM, 0, kCodeSwitchTo1200, 1, 0), false);
            QueueAppend(std::make_unique<CPool>(std::string(MODEM_CARRIER_DETECT_LINE), STEP_MODEM, 0,
                                                VEK_NOTIFY_SESSION_OPENED, 1, 0),
                        false);
        }
        break;
    case kExpectUp300:
        SetPortSpeed(session, 300);
        PostStepDone(session, VEK_NOTIFY_SESSION_OPENED);
        break;
    default: break;
    }
    FreeHostBlock(extra);
}

void FallBackTo300(Session& session, const CPool& step)
{
    Sleep(static_cast<uint32_t>(std::max(step.m_nTimeout, 0)));
    const CModem* modem = session.CurrentModem();
    if (modem == nullptr)
        return;
    CSingleLock lock(g_csQueue);
    if (g_bPanelIdentified) {
        QueueKeepAlive(session, true, true);
        QueueInsertHead(std::make_unique<CPool>(std::string(MODEM_CARRIER_DETECT_ANSWER_LINE), STEP_MODEM, 1,
                                                kCodeFallBack300, 1, 0),
                        false);
    } else {
        QueueInsertHead(
            std::make_unique<CPool>(std::string(MODEM_CARRIER_DETECT_LINE), STEP_MODEM, 0, kCodeFallBack300, 1, 0),
            false);
    }
    QueueInsertHead(std::make_unique<CPool>(EscapeLine(*modem), STEP_MODEM, 0, CODE_NONE, 1, 0), false);
}

void Accept(Session& session, std::unique_ptr<CPool> step, HGLOBAL extra)
{
    g_nRetries = 0;
    g_nSlowModeTimeouts = 0;
    g_nHostNoResponses = 0;
    g_nUncountedFailures = 0;
    g_bSlowMode = 0;
    g_bSlowNoticeSent = 0;
    const bool acknowledged = (step->m_dwFlags & REQ_EXPECT_ACK) != 0;
    // A re-open the panel asked for is not a good exchange of the transfer
    // that failed: it wins no point back.
    if (g_nEfficiency < 10 && !acknowledged && !step->m_bReopen) {
        PostStepDone(session, VEK_NOTIFY_EXCHANGE_OK);
        ++g_nEfficiency;
    }
    switch (step->m_nCode) {
    case VEK_NOTIFY_SESSION_OPENED: SessionOpened(session, *step, extra); return;
    case kCodeFallBack300:
        FreeHostBlock(extra);
        FallBackTo300(session, *step);
        return;
    default:
        // The acknowledgement of a step is not its completion: the copy
        // waiting for the real reply reports.
        if (acknowledged)
            FreeHostBlock(extra);
        else if (step->m_nCode == CODE_NONE)
            FreeHostBlock(extra); // nobody would take the block
        else
            PostStepDone(session, step->m_nCode, HandleToParam(extra));
        return;
    }
}

// False when the exchange failed; the step is then still the caller's.
bool HandleReply(Session& session, std::unique_ptr<CPool>& step, WakeReason wake)
{
    if (!g_bPacketGood)
        return false; // a frame that failed its check is never judged
    std::vector<uint8_t> reply;
    {
        CSingleLock lock(g_csReceive);
        const auto bytes = g_rxBuffer.Bytes();
        reply.assign(bytes.begin(), bytes.end());
    }
    HGLOBAL extra = 0;
    const int32_t outcome = EvaluateReply(session, *step, reply, extra);
    const bool acknowledged = (step->m_dwFlags & REQ_EXPECT_ACK) != 0;
    switch (outcome) {
    case kReplyAccepted: Accept(session, std::move(step), extra); return true;
    case kReasonReopenSession:
        // Counted on the transfer: the re-open's own acknowledgement must not
        // wipe the count, or the two frames would alternate for ever.
        if (step->m_nReopens >= kReopenRetries)
            return false;
        ++step->m_nReopens;
        RequeueAtHead(std::move(step));
        QueueSessionOpen(session, true);
        return true;
    case kReasonPanelEndsCall:
        PostNotice(session, VEK_NOTIFY_PANEL_ENDED_CALL);
        step.reset();
        QueueHangUp(session, 0, 0);
        return true;
    case kReasonRefusedAck:
        if (!acknowledged)
            return false;
        [[fallthrough]];
    case kReasonRefused:
        if (g_nRetries != 0)
            return false;
        g_nRetries = 1;
        step.reset();
        g_nEfficiency = 10;
        PostNotice(session, VEK_NOTIFY_TRANSFER_REFUSED);
        return true;
    case kReasonBusy: {
        g_nSlowModeTimeouts = 0;
        RequeueAtHead(std::move(step));
        if (!g_bSlowMode && wake == WakeReason::Signalled) {
            PostNotice(session, VEK_NOTIFY_PANEL_BUSY);
            g_bSlowNoticeSent = 1;
        }
        Sleep(kBusyPauseMs);
        g_bSlowMode = 1;
        return true;
    }
    default: return false;
    }
}

// The pause between requests, skipped when the next step only waits for
// the reply to an acknowledged one.
void PauseBetweenRequests(const Session& session)
{
    int32_t delay = session.m_nRequestDelay;
    const CModem* modem = session.CurrentModem();
    if (modem != nullptr && (modem->m_dwFlags & MODEM_EXTENDED) && delay < kExtendedModemMinDelayMs)
        delay = kExtendedModemMinDelayMs;
    if (delay <= 0)
        return;
    {
        CSingleLock lock(g_csQueue);
        if (!g_requestQueue.empty() && g_requestQueue.front() && (g_requestQueue.front()->m_dwFlags & REQ_NO_SEND))
            return;
    }
    Sleep(static_cast<uint32_t>(delay));
}

} // namespace

void FailPacketStep(Session& session, std::unique_ptr<CPool> step)
{
    g_nRetries = 0;
    if (g_nEfficiency == 0 || g_nHostNoResponses > kHostNoResponseLimit ||
        g_nUncountedFailures >= kUncountedFailureLimit) {
        step.reset();
        EndLostLink(session);
        return;
    }
    if (g_nSlowModeTimeouts == 0) {
        if (CountingAllowed(session)) {
            --g_nEfficiency;
            PostNotice(session, VEK_NOTIFY_EXCHANGE_FAILED);
        } else {
            ++g_nUncountedFailures;
        }
        MakeSendable(*step);
    }
    const int32_t efficiency = g_nEfficiency;
    if (!((efficiency == 8 || efficiency == 6) && SplitTransfer(session, step)))
        QueueInsertHead(std::move(step), false);
    const CModem* modem = session.CurrentModem();
    if (efficiency == 5 && session.m_nCurrentBaudRate == 1200 && modem != nullptr && modem->LacksFirstOption())
        QueueSpeedDown300(session);
}

void RunPacketStep(Session& session, std::unique_ptr<CPool> step, WakeReason wake)
{
    Collected got = CollectReply(session, *step);
    // A reply given up while it claimed a NO CARRIER line: the modem's.
    if (got == Collected::Failed && TakeDeferredNoCarrier()) {
        SignalLineLost();
        got = Collected::LineLost;
    }
    if (got == Collected::LineLost && EndCallIfLineLost(session, step))
        return;
    if (step->m_bAbort) {
        // The panel had its moment to act on the abort; the call ends now,
        // whatever it said.
        step.reset();
        EndLostLink(session);
        return;
    }
    if (got == Collected::NoAnswer) {
        CountNoAnswer(session, wake);
        FailPacketStep(session, std::move(step));
        return;
    }
    const bool failed = got != Collected::Complete || !HandleReply(session, step, wake);
    PauseBetweenRequests(session);
    if (failed)
        FailPacketStep(session, std::move(step));
}

} // namespace vek
