#include "link/RestartAnswering.h"

#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "modem/ModemCommands.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr int32_t kAutoAnswerTimeoutMs = 5000;

void ClearCall(Session& session, int32_t answerAgain)
{
    session.m_pPanelRecord = nullptr;
    session.m_nLinkMode = 0;
    session.m_openCode.clear();
    session.m_idCode.clear();
    session.m_nCallMode = 0;
    session.m_nRequestDelay = 100;
    session.m_nByteDelay = 0;
    g_bAnswerMode = 1;
    g_nAnswerRestartArg = answerAgain;
    session.m_bLinkRequest = 0;
    session.m_bDialFrame = 0;
    session.m_bIdBlock = 0;
}

} // namespace

void AppendAnswerScript(const CModem& modem, std::unique_ptr<CPool> identify)
{
    g_bConnectPending = 0;
    g_bSessionUp = 0;
    QueueAppend(std::make_unique<CPool>(AutoAnswerLine(modem), STEP_MODEM, 0, CODE_NONE, 1, kAutoAnswerTimeoutMs),
                false);
    for (int ring = 0; ring < AnswerRingWaits(modem); ++ring)
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_MODEM, 2, VEK_NOTIFY_RING, 1), false);
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_MODEM, 1, VEK_NOTIFY_CONNECTED, 1), false);
    QueueAppend(std::move(identify), false);
}

int RestartAnswering(Session& session, int32_t answerAgain)
{
    ClearCall(session, answerAgain);
    if (!session.CommInit(VEK_NOTIFY_MODEM_READY))
        return 0;
    session.m_pModemSettings->SelectIncoming();
    const CModem* modem = session.CurrentModem();
    if (modem == nullptr)
        return 0;
    {
        CSingleLock lock(g_csQueue);
        AppendAnswerScript(*modem,
                           std::make_unique<CPool>(ByteArray{}, STEP_IDENTIFY, 2, VEK_NOTIFY_INCOMING_IDENTIFIED, 1));
    }
    g_evQueue.Set();
    return 1;
}

} // namespace vek
