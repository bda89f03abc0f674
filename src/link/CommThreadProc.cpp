#include "link/CommThreadProc.h"

#include "link/CallStep.h"
#include "link/IdentifyStep.h"
#include "link/LineLoss.h"
#include "link/ModemResult.h"
#include "link/ModemStep.h"
#include "link/PacketStep.h"
#include "link/RequestQueue.h"
#include "link/RxSilenceTimer.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "link/SimpleSteps.h"
#include "modem/ParseModemResponse.h"
#include "platform/Event.h"
#include "platform/Trace.h"

#include <string>

namespace vek {

WakeReason WaitForWork()
{
    // Offline the worker sleeps until work comes; online it also ticks.
    const uint32_t timeout = g_bOnline ? kIdleTickMs : INFINITE_WAIT;
    return WaitForEvent(g_evQueue, timeout) == WaitResult::Timeout ? WakeReason::TimedOut : WakeReason::Signalled;
}

std::unique_ptr<CPool> TakeStep() { return QueueTakeHead(); }

void PrepareStep(const CPool& step)
{
    // The last step's silence timer must not act on this step's events.
    CancelRxSilenceTimer();
    if (step.m_bClearRx) {
        CSingleLock lock(g_csReceive);
        g_strModemResponse.clear();
        ClearReceiveBuffer();
    }
    g_nModemResult = 100;
    g_nCurrentStepType = step.m_nType;
    switch (step.m_nType) {
    case STEP_MODEM: {
        CSingleLock lock(g_csReceive);
        g_evModemDone.Reset();
        g_evPacketComplete.Set();
        // A poll that keeps its text also keeps what the text already said:
        // a CONNECT or RING recognised between two slices is not lost.
        if (!step.m_bClearRx)
            SignalModemResult();
        break;
    }
    case STEP_PACKET:
    case STEP_IDENTIFY:
    case STEP_DEFER_CALL:
        g_evPacketComplete.Reset();
        g_evBytesArrived.Reset();
        g_evModemDone.Set();
        break;
    default: break;
    }
}

void ExecuteStep(Session& session, std::unique_ptr<CPool> step, WakeReason wake)
{
    switch (step->m_nType) {
    case STEP_DEFER_CALL: RunDeferCallStep(*step); return;
    case STEP_NOTIFY: RunNotifyStep(session, *step); return;
    case STEP_PAUSE: Sleep(kPauseStepMs); return;
    case STEP_MODEM: RunModemStep(session, std::move(step)); return;
    case STEP_PACKET: RunPacketStep(session, std::move(step), wake); return;
    case STEP_IDENTIFY: RunIdentifyStep(session, std::move(step)); return;
    case STEP_CALL: RunCallStep(session, std::move(step)); return;
    default: Sleep(kSendOnlyPauseMs); return;
    }
}

bool WorkerPass(Session& session)
{
    const WakeReason wake = WaitForWork();
    if (WaitForEvent(g_evStop, 0) != WaitResult::Timeout)
        return false;
    if (std::unique_ptr<CPool> none; EndCallIfLineLost(session, none) || EndUseOfVanishedDevice(session))
        return true;
    IdleWatch(session, wake);
    std::unique_ptr<CPool> step = TakeStep();
    if (!step)
        return true;
    PrepareStep(*step);
    // Giving up what was buffered may have shown the line gone: nothing more
    // is sent into it.
    if (g_bLineLost && EndCallIfLineLost(session, step))
        return true;
    if (TraceEnabled())
        TraceLine("step begin type " + std::to_string(step->m_nType) + " code " + std::to_string(step->m_nCode));
    if (!step->m_data.empty() && !(step->m_dwFlags & REQ_NO_SEND) && !session.SendString(*step)) {
        // SendString reported its own error; what is queued waits for the
        // next producer (or the next tick while online).
        ResetQueueEvent();
        return true;
    }
    ExecuteStep(session, std::move(step), wake);
    TraceLine("step end");
    return true;
}

unsigned CommThreadProc(Session* session)
{
    ResetWorkerCounters();
    while (WorkerPass(*session)) {
    }
    return 0;
}

} // namespace vek
