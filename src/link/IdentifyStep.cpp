#include "link/IdentifyStep.h"

#include "host/HostBlock.h"
#include "host/HostPanelRecord.h"
#include "link/CallPhase.h"
#include "link/LineLoss.h"
#include "link/ParseIdentification.h"
#include "link/QueueSessionOpen.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "link/RxSilenceTimer.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "link/StartCall.h"
#include "link/WorkerNotify.h"
#include "platform/Handles.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr int32_t kExpectIncoming = 2; // queued by the answer script
constexpr int32_t kExpectCalledBack = 1;
constexpr uint16_t kFlagAnswerMode = 0x01;

// Waits again behind nothing else; work queued meanwhile wins.
void KeepWaiting(std::unique_ptr<CPool> step, bool countRetry)
{
    CSingleLock lock(g_csQueue);
    if (!g_requestQueue.empty())
        return;
    if (countRetry)
        ++g_nRetries;
    step->m_bClearRx = 0;
    QueueInsertHead(std::move(step), false);
}

void Fail(Session& session, std::unique_ptr<CPool> step, int32_t notice)
{
    const int32_t code = step->m_nCode == VEK_NOTIFY_INCOMING_IDENTIFIED ? VEK_NOTIFY_INCOMING_IDENTIFIED : CODE_NONE;
    step.reset();
    g_nRetries = 0;
    PostNotice(session, notice);
    CSingleLock lock(g_csQueue);
    BeginEndingCall();
    g_requestQueue.clear();
    // No event: the worker looks at the queue before it waits.
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, code, 1), false);
}

// 0 when the panel is the one the record expects, else the notice to give.
// Without a record there is nothing it could match.
int32_t CheckAgainstRecord(const Session& session, const PanelIdentification& ident)
{
    const PanelRecordView record(session.m_pPanelRecord);
    if (!record.IsAttached())
        return VEK_NOTIFY_WRONG_TYPE;
    if ((ident.panelType & 0xFF) != (record.ExpectedType() & 0xFF))
        return VEK_NOTIFY_WRONG_TYPE;
    if ((ident.panelVersion & 0xFF) != (record.ExpectedVersion() & 0xFF))
        return VEK_NOTIFY_WRONG_VERSION;
    return 0;
}

void HandOver(const Session& session, int32_t code, std::span<const uint8_t> bytes)
{
    PostStepDone(session, code, HandleToParam(NewHostBlock(bytes)));
}

void Accept(Session& session, std::unique_ptr<CPool> step, bool pcLink)
{
    g_nRetries = 0;
    g_bConnectPending = 0;
    g_bSessionUp = 1;
    const PanelIdentification ident = IdentificationOf(session);
    if (step->m_nExpect == kExpectIncoming) {
        g_bPanelIdentified = 1;
        const auto whole = ident.ToBytes();
        HandOver(session, step->m_nCode, whole);
        return;
    }
    if (const int32_t notice = CheckAgainstRecord(session, ident); notice != 0) {
        Fail(session, std::move(step), notice);
        return;
    }
    if (step->m_nExpect != kExpectCalledBack && (ident.identificationFlags & kFlagAnswerMode)) {
        // The panel will call back: end this call and answer the next.
        PostStepDone(session, VEK_NOTIFY_ANSWER_REQUESTED);
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, VEK_NOTIFY_ANSWER_READY, 1), false);
        return;
    }
    if (pcLink) {
        PostStepDone(session, VEK_NOTIFY_CONNECTED);
    } else {
        if (step->m_nExpect == kExpectCalledBack)
            g_bPanelIdentified = 1;
        if (ident.identificationFlags & PanelIdentification::kFlagDelaySessionOpen)
            Sleep(kSessionOpenDelayMs);
    }
    {
        // From here the host's requests follow the session-open frame.
        CSingleLock lock(g_csQueue);
        QueueSessionOpen(session, false);
        OpenCallForRequests();
    }
    HandOver(session, step->m_nCode, ident.raw);
}

} // namespace

void RunIdentifyStep(Session& session, std::unique_ptr<CPool> step)
{
    const CModem* modem = session.CurrentModem();
    if (modem == nullptr)
        return;
    const bool pcLink = modem->IsPCLink();
    const uint32_t half = step->m_nTimeout > 0 ? static_cast<uint32_t>(step->m_nTimeout) / 2 : 0;

    WaitForEvent(g_evBytesArrived, half);
    g_evRxSilence.Reset();
    // A cable has no modem to pause between bytes: only the size decides.
    if (!pcLink)
        StartRxSilenceTimer(kIdentifySilenceMs);
    const bool silenceTimedOut = WaitForEvent(g_evRxSilence, half) == WaitResult::Timeout;
    if (EndCallIfLineLost(session, step))
        return;

    std::vector<uint8_t> reply;
    {
        CSingleLock lock(g_csReceive);
        const auto bytes = g_rxBuffer.Bytes();
        reply.assign(bytes.begin(), bytes.end());
    }
    const size_t n = reply.size();
    if (n < (pcLink ? kPcLinkIdentifyMinBytes : kModemIdentifyMinBytes)) {
        const bool silenceCame = !silenceTimedOut;
        const bool wait =
            (silenceTimedOut && pcLink) || (n != 0 && (pcLink || (silenceCame && g_nRetries < kIdentifyShortRetries)));
        if (wait)
            KeepWaiting(std::move(step), true);
        else
            Fail(session, std::move(step), VEK_NOTIFY_NO_IDENTIFICATION);
        return;
    }
    const PanelRecordView record(session.m_pPanelRecord);
    int32_t parsed = kIdentNotRecognised;
    {
        CSingleLock lock(g_csReceive);
        parsed = ParseIdentification(reply, session.m_ident, session.m_lastReply, record);
    }
    if (parsed == kIdentNotRecognised) {
        if (pcLink)
            KeepWaiting(std::move(step), false);
        else
            Fail(session, std::move(step), VEK_NOTIFY_NO_IDENTIFICATION);
        return;
    }
    Accept(session, std::move(step), pcLink);
}

} // namespace vek
