#include "link/StartCall.h"

#include "dialog/CCommStatusDlg.h"
#include "link/BuildLinkFrame.h"
#include "link/CallPhase.h"
#include "link/ParseIdentification.h"
#include "link/QueueKeepAlive.h"
#include "link/QueueSessionOpen.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "modem/ModemCommands.h"
#include "platform/KeyState.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr int32_t kPcLinkIdentifyWithFrameMs = 2000;
constexpr int32_t kPcLinkIdentifySilentMs = 500;

bool KeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

void TakeCallOptions(CCommStatusDlg& dlg, PanelRecordView record)
{
    dlg.m_nLinkMode = record.LinkMode();
    dlg.m_bLinkRequest = (record.LinkOptions() & VEK_LINK_OPT_LINK_REQUEST) ? 1 : 0;
    dlg.m_bDialFrame = (record.LinkOptions() & VEK_LINK_OPT_DIAL_FRAME) ? 1 : 0;
    // Service engineers force the link frames from the keyboard.
    if (KeyDown(kVirtualKeyCapsLock)) {
        dlg.m_bLinkRequest = 1;
        if (KeyDown(kVirtualKeyShift))
            dlg.m_bIdBlock = 1;
    }
    dlg.m_nRequestDelay = record.RequestDelayMs();
    dlg.m_nByteDelay = record.ByteDelayMs();
}

// An answered call goes on: re-read what the panel said while answering,
// switch an extended modem's answered line back to data, open the session.
int ContinueAnsweredCall(CCommStatusDlg& dlg, PanelRecordView record, const CModem& modem)
{
    PanelIdentification ident;
    {
        CSingleLock lock(g_csReceive);
        ByteArray reply = dlg.m_lastReply;
        ParseIdentification(reply, dlg.m_ident, dlg.m_lastReply, record);
        ident = dlg.m_ident;
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
        QueueKeepAlive(dlg, true, false);
    }
    if (ident.identificationFlags & PanelIdentification::kFlagDelaySessionOpen)
        Sleep(kSessionOpenDelayMs);
    CSingleLock lock(g_csQueue);
    QueueSessionOpen(dlg, false);
    OpenCallForRequests();
    return 1;
}

// The dial line, two notifications, the CONNECT wait and the identification.
void QueueDialSteps(CCommStatusDlg& dlg, const CModem& modem, PanelRecordView record)
{
    const std::string dial = DialLine(modem, record.PhoneNumber(), dlg.m_nLinkMode);
    g_bConnectPending = 0;
    g_bSessionUp = 0;
    {
        CSingleLock lock(g_csQueue);
        QueueAppend(std::make_unique<CPool>(dial, STEP_NOTIFY, 0, VEK_NOTIFY_DIALLING, 1, 0), false);
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_NOTIFY, 0, VEK_NOTIFY_DIAL_WAIT, 1), false);
        QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_MODEM, 1, VEK_NOTIFY_CONNECTED, 1), false);
        QueueAppend(std::make_unique<CPool>(BuildLinkFrame(dlg), STEP_IDENTIFY, 0, VEK_NOTIFY_IDENTIFIED, 1), false);
    }
    g_evQueue.Set();
}

int PlaceCall(CCommStatusDlg& dlg, PanelRecordView record)
{
    g_nAnswerRestartArg = 0;
    if (!dlg.CommInit(85))
        return 0;
    const CModem* modem = dlg.CurrentModem();
    if (modem == nullptr)
        return 0;
    if (!modem->IsPCLink()) {
        QueueDialSteps(dlg, *modem, record);
        return 1;
    }
    // A cable to the panel: no modem to dial, the panel is polled directly.
    {
        CSingleLock lock(g_csQueue);
        ByteArray frame = BuildLinkFrame(dlg);
        const int32_t timeout = frame.empty() ? kPcLinkIdentifySilentMs : kPcLinkIdentifyWithFrameMs;
        QueueAppend(std::make_unique<CPool>(frame, STEP_IDENTIFY, 1, VEK_NOTIFY_IDENTIFIED, timeout, 0, 0, 0, 1),
                    false);
    }
    g_evQueue.Set();
    return 1;
}

} // namespace

int StartCall(CCommStatusDlg& dlg, HostPanelRecord* record, const ByteArray& openCode, const ByteArray& idCode,
              int32_t callMode)
{
    const PanelRecordView view(record);
    dlg.m_pPanelRecord = record;
    dlg.m_openCode = openCode;
    dlg.m_idCode = idCode;
    dlg.m_nCallMode = callMode;
    dlg.m_nRequestDelay = 100;
    dlg.m_nByteDelay = 0;
    dlg.m_bLinkRequest = 0;
    dlg.m_bDialFrame = 0;
    dlg.m_bIdBlock = 0;
    if (view.IsAttached())
        TakeCallOptions(dlg, view);
    // A connected call keeps the modem that carries it.
    if (!g_bOnline && dlg.m_pModemSettings != nullptr)
        dlg.m_pModemSettings->SelectOutgoing();
    const CModem* modem = dlg.CurrentModem();
    if (modem == nullptr)
        return 0;
    g_bAnswerMode = 0;
    if (callMode == 0)
        return ContinueAnsweredCall(dlg, view, *modem);
    return PlaceCall(dlg, view);
}

void AnswerOverrideCall(CCommStatusDlg& dlg)
{
    const CModem* modem = dlg.CurrentModem();
    const PanelRecordView record(dlg.m_pPanelRecord);
    // The number to dial is the record's: without one there is no call.
    if (modem == nullptr || !record.IsAttached())
        return;
    QueueDialSteps(dlg, *modem, record);
}

} // namespace vek
