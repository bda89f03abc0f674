#include "link/StartCall.h"

#include "link/BuildLinkFrame.h"
#include "link/CallPhase.h"
#include "link/ParseIdentification.h"
#include "link/QueueKeepAlive.h"
#include "link/QueueSessionOpen.h"
#include "link/RequestQueue.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "modem/ModemCommands.h"
#include "platform/KeyState.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr int32_t kPcLinkIdentifyWithFrameMs = 2000;
constexpr int32_t kPcLinkIdentifySilentMs = 500;

bool KeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

void TakeCallOptions(Session& session, PanelRecordView record)
{
    session.m_nLinkMode = record.LinkMode();
    session.m_bLinkRequest = (record.LinkOptions() & VEK_LINK_OPT_LINK_REQUEST) ? 1 : 0;
    session.m_bDialFrame = (record.LinkOptions() & VEK_LINK_OPT_DIAL_FRAME) ? 1 : 0;
    // Service engineers force the link frames from the keyboard.
    if (KeyDown(kVirtualKeyCapsLock)) {
        session.m_bLinkRequest = 1;
        if (KeyDown(kVirtualKeyShift))
            session.m_bIdBlock = 1;
    }
    session.m_nRequestDelay = record.RequestDelayMs();
    session.m_nByteDelay = record.ByteDelayMs();
}

// An answered call goes on: re-read what the panel said while answering,
// switch an extended modem's answered line back to data, open the session.
int ContinueAnsweredCall(Session& session, PanelRecordView record, const CModem& modem)
{
    PanelIdentification ident;
    {
        CSingleLock lock(g_csReceive);
        ByteArray reply = session.m_lastReply;
        ParseIdentification(reply, session.m_ident, session.m_lastReply, record);
        ident = session.m_ident;
    }
    PanelTraits traits;
    if (record.IsAttached()) {
        traits.expectedType = record.ExpectedType();
        traits.options = record.PanelOptions();
    }
    if ((modem.m_dwFlags & MODEM_EXTENDED) && record.IsAttached() && !Init3HasExtendedW(modem) &&
        PanelWantsExtendedW(traits)) {
        CSingleLock lock(g_csQueue);
        QueueAppend(std::make_unique<CPool>(EscapeLine(modem), STEP_MODEM, 0, CODE_NONE, 1, 0), false);
        QueueAppend(std::make_unique<CPool>(std::string(MODEM_EXTENDED_ANSWER_LINE), STEP_MODEM, 1, CODE_NONE, 1, 0),
                    false);
        QueueKeepAlive(session, true, false);
    }
    if (ident.identificationFlags & PanelIdentification::kFlagDelaySessionOpen)
        Sleep(kSessionOpenDelayMs);
    CSingleLock lock(g_csQueue);
    QueueSessionOpen(session, false);
    OpenCallForRequests();
    return 1;
}

// The dial line, two notifications, the CONNECT wait and the identification.
void QueueDialSteps(Session& session, const CModem& modem, PanelRecordView record)
{
    const std::string dial = DialLine(modem, record.PhoneNumber(), session.m_nLinkMode);
    g_bConnectPending = 0;
    g_bSessionUp = 0;
    {
        CSingleLock lock(g_csQueue);
        QueueAppend(std::make_unique<CPool>(dial, STEP_NOTIFY, 0, VEK_NOTIFY_DIALLING, 1, 0), false);
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, VEK_NOTIFY_DIAL_WAIT, 1), false);
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_MODEM, 1, VEK_NOTIFY_CONNECTED, 1), false);
        QueueAppend(std::make_unique<CPool>(BuildLinkFrame(session), STEP_IDENTIFY, 0, VEK_NOTIFY_IDENTIFIED, 1),
                    false);
    }
    g_evQueue.Set();
}

int PlaceCall(Session& session, PanelRecordView record)
{
    g_nAnswerRestartArg = 0;
    if (!session.CommInit(85))
        return 0;
    const CModem* modem = session.CurrentModem();
    if (modem == nullptr)
        return 0;
    if (!modem->IsPCLink()) {
        QueueDialSteps(session, *modem, record);
        return 1;
    }
    // A cable to the panel: no modem to dial, the panel is polled directly.
    {
        CSingleLock lock(g_csQueue);
        ByteArray frame = BuildLinkFrame(session);
        const int32_t timeout = frame.empty() ? kPcLinkIdentifySilentMs : kPcLinkIdentifyWithFrameMs;
        QueueAppend(std::make_unique<CPool>(frame, STEP_IDENTIFY, 1, VEK_NOTIFY_IDENTIFIED, timeout, 0, 0, 0, 1),
                    false);
    }
    g_evQueue.Set();
    return 1;
}

} // namespace

int StartCall(Session& session, HostPanelRecord* record, const ByteArray& openCode, const ByteArray& idCode,
              int32_t callMode)
{
    const PanelRecordView view(record);
    session.m_pPanelRecord = record;
    session.m_openCode = openCode;
    session.m_idCode = idCode;
    session.m_nCallMode = callMode;
    session.m_nRequestDelay = 100;
    session.m_nByteDelay = 0;
    session.m_bLinkRequest = 0;
    session.m_bDialFrame = 0;
    session.m_bIdBlock = 0;
    if (view.IsAttached())
        TakeCallOptions(session, view);
    // A connected call keeps the modem that carries it.
    if (!g_bOnline && session.m_pModemSettings != nullptr)
        session.m_pModemSettings->SelectOutgoing();
    const CModem* modem = session.CurrentModem();
    if (modem == nullptr)
        return 0;
    g_bAnswerMode = 0;
    if (callMode == 0)
        return ContinueAnsweredCall(session, view, *modem);
    return PlaceCall(session, view);
}

void AnswerOverrideCall(Session& session)
{
    const CModem* modem = session.CurrentModem();
    const PanelRecordView record(session.m_pPanelRecord);
    // The number to dial is the record's: without one there is no call.
    if (modem == nullptr || !record.IsAttached())
        return;
    QueueDialSteps(session, *modem, record);
}

} // namespace vek
