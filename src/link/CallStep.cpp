#include "link/CallStep.h"

#include "link/BuildLinkFrame.h"
#include "link/CallPhase.h"
#include "link/LineLoss.h"
#include "link/RequestQueue.h"
#include "link/RestartAnswering.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "link/SimpleSteps.h"
#include "link/WorkerNotify.h"
#include "modem/ModemCommands.h"
#include "vek_comm2.h"

namespace vek {
namespace {

void Append(std::unique_ptr<CPool> step) { QueueAppend(std::move(step), false); }

std::unique_ptr<CPool> Command(const std::string& text, int32_t expect, int32_t code)
{
    return std::make_unique<CPool>(text, STEP_MODEM, expect, code, 1, 0);
}

// A step of the teardown: if the modem fails it, the call still ends.
std::unique_ptr<CPool> Teardown(std::unique_ptr<CPool> step)
{
    step->m_bTeardown = true;
    return step;
}

// Hang up and wait for the panel to call back.
void AppendHangUpAndCallBack(Session& session, const CModem& modem)
{
    Append(Teardown(Command(HangUpLine(modem), 0, VEK_NOTIFY_ANSWER_READY)));
    AppendAnswerScript(modem,
                       std::make_unique<CPool>(BuildLinkFrame(session), STEP_IDENTIFY, 1, VEK_NOTIFY_IDENTIFIED, 1));
}

bool AnswerFollows(int32_t code)
{
    return code == kCodeHangUpThenAnswer || code == VEK_NOTIFY_INCOMING_IDENTIFIED || g_nAnswerRestartArg != 0 ||
           g_bAnswerMode != 0 || g_bRestartAnswer != 0;
}

void QueueScript(Session& session, const CModem& modem, int32_t code)
{
    CSingleLock lock(g_csQueue);
    if (g_bOnline) {
        // Without an escape text, or with the modem back in command mode
        // after the carrier went, the on-hook command is all it takes.
        const bool commandMode = g_bModemInCommandMode.exchange(0) != 0 || g_bLineLost.exchange(0) != 0;
        if (!modem.m_strEscape.empty() && !commandMode)
            Append(Teardown(Command(EscapeLine(modem), 0, CODE_NONE)));
        if (code == VEK_NOTIFY_ANSWER_READY)
            AppendHangUpAndCallBack(session, modem);
        else
            Append(Teardown(Command(HangUpLine(modem), 0, VEK_NOTIFY_ON_HOOK)));
    }
    if (code == VEK_NOTIFY_ANSWER_READY)
        return;
    if (AnswerFollows(code)) {
        g_bRestartAnswer = 0;
        RestartAnswering(session, g_nAnswerRestartArg);
        return;
    }
    Append(Teardown(Command(ResetLine(modem), 0, VEK_NOTIFY_MODEM_READY)));
    Append(EndOfCallStep());
}

} // namespace

void RunCallStep(Session& session, std::unique_ptr<CPool> step)
{
    // The panel that asked to call back opens a new call; any other end
    // takes no more requests.
    if (step->m_nCode == VEK_NOTIFY_ANSWER_READY) {
        if (!CallIsEnding())
            CloseCall();
    } else {
        BeginEndingCall();
    }
    const CModem* modem = session.CurrentModem();
    // Give the panel a moment to act on what it was sent last.
    if (g_bOnline && modem != nullptr && !modem->IsPCLink() && step->m_nTimeout > 0)
        Sleep(static_cast<uint32_t>(step->m_nTimeout));
    if (modem != nullptr && modem->IsPCLink()) {
        PostStepDone(session, VEK_NOTIFY_ON_HOOK);
        PostStepDone(session, VEK_NOTIFY_MODEM_READY);
        Append(EndOfCallStep());
    } else if (modem != nullptr) {
        QueueScript(session, *modem, step->m_nCode);
    }
    g_bOnline = 0;
}

} // namespace vek
