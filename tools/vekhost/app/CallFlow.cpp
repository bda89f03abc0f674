#include "CallFlow.h"

#include "vekhost/HexDump.h"
#include "vekhost/Identification.h"
#include "vekhost/LinkModeRules.h"
#include "vekhost/Notifications.h"
#include "vekhost/PortList.h"

#include "vek_comm2.h"

#include <cstring>
#include <optional>

namespace vekhost {
namespace {

HGLOBAL ToBlock(const std::vector<uint8_t>& bytes)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    if (void* p = GlobalLock(block)) {
        std::memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(block);
    }
    return block;
}

bool PortUnavailableSeen(const HostSession& session)
{
    for (const Note& note : session.Notes())
        if (note.code == VEK_NOTIFY_PORT_UNAVAILABLE)
            return true;
    return false;
}

std::optional<uint64_t> ConnectedAt(const HostSession& session)
{
    for (const Note& note : session.Notes())
        if (note.code == VEK_NOTIFY_CONNECTED)
            return note.ms;
    return std::nullopt;
}

} // namespace

CallFlow::CallFlow(HostSession& session, const CallPlan& plan) : m_session(session), m_plan(plan) {}

ExitCode CallFlow::Fail(const WaitResult& result, std::string_view waitingFor)
{
    const bool portFailed = result.outcome == WaitOutcome::Failed && result.note.code == VEK_NOTIFY_PORT_UNAVAILABLE;
    const ExitCode code = portFailed ? PortFailed() : m_session.Report(result, waitingFor);
    m_session.EndCall();
    m_callEnd = m_session.ElapsedMs();
    return code;
}

// The port could not be had: say why, as vekhost ports does.
ExitCode CallFlow::PortFailed()
{
    const std::string device = DeviceForPort(m_plan.modem.port, m_plan.device);
    const PortCheck check = CheckPort(device);
    const std::string reason = check.state == PortState::Free
                                   ? "it can be opened now, but the library could not set it up (--verbose shows "
                                     "the trace)"
                                   : check.detail;
    m_session.Out().Error("COM" + std::to_string(m_plan.modem.port) + " (" + device + ") cannot be opened: " + reason +
                          " [library: port unavailable (20)]");
    return ExitCode::PortUnavailable;
}

// An export said no at once: the port could not be had, or no modem.
ExitCode CallFlow::Refused(const char* call)
{
    m_session.Settle(std::chrono::milliseconds(100)); // 20 is posted, not yet pumped
    if (PortUnavailableSeen(m_session))
        return PortFailed();
    m_session.Out().Error(std::string(call) + " failed");
    return ExitCode::LibraryStart;
}

ExitCode CallFlow::StartLibrary()
{
    Console& out = m_session.Out();
    out.Line(out.Paint("Starting the library", Style::Bold));
    if (!m_session.Start()) {
        out.Error("the library did not start (VEKComm2_Init failed; a damaged Trv3.mdm in the data folder?)");
        return ExitCode::LibraryStart;
    }
    const HGLOBAL setup = ToBlock(BuildModemSetup(m_plan.modem));
    if (VEKComm2_SetupModem(setup) != 1) {
        GlobalFree(setup); // a refused block stays the host's
        out.Error("the library refused the modem settings (VEKComm2_SetupModem failed)");
        return ExitCode::LibraryStart;
    }
    PanelSettings panel = WithModemSpeed(m_plan.panel, m_plan.modem.speed);
    panel.recordWindow = m_session.Window();
    m_record = BuildPanelRecord(panel);
    m_session.SetPanel(panel.linkMode, panel.type, panel.version);
    m_session.SetTraffic(
        {panel.linkMode, m_plan.transferSettings.readCommand, (panel.panelOptions & kPanelTwoByteAddress) != 0});
    return ExitCode::Ok;
}

ExitCode CallFlow::StartModem()
{
    // A direct link has no modem to set up: the call opens the port.
    if (m_plan.modem.pcLink)
        return ExitCode::Ok;
    Console& out = m_session.Out();
    out.Line(out.Paint("Resetting the modem on COM" + std::to_string(m_plan.modem.port), Style::Bold));
    m_session.BeginStage(CallStage::ModemReady);
    if (VEKComm2_CommInit() != 1)
        return Refused("VEKComm2_CommInit");
    const WaitResult ready = m_session.WaitFor(WaitKind::ModemReady, {VEK_NOTIFY_MODEM_READY});
    if (!ready.Ok())
        return Fail(ready, "the modem to be ready");
    return ExitCode::Ok;
}

ExitCode CallFlow::PlaceCall()
{
    Console& out = m_session.Out();
    const PanelSettings& panel = m_plan.panel;
    out.Line(out.Paint(m_plan.modem.pcLink ? "Polling the panel on the direct link" : "Calling " + panel.phone,
                       Style::Bold));
    m_callStart = m_session.ElapsedMs();
    m_session.BeginStage(CallStage::Dial);
    if (VEKComm2_PanelInit(m_record.data(), panel.openCode.c_str(), panel.idCode.c_str(), 1) != 1)
        return Refused("VEKComm2_PanelInit");
    // A panel that asks for answer mode calls back and is identified then.
    const WaitResult identified = m_session.WaitFor(WaitKind::Identification, {VEK_NOTIFY_IDENTIFIED});
    if (!identified.Ok())
        return Fail(identified, "the panel's identification");
    return OpenSession();
}

ExitCode CallFlow::OpenSession()
{
    // The refusal of an open code can come before code 90 is pumped.
    m_session.BeginStage(CallStage::SessionOpen, true);
    const WaitResult opened = m_session.WaitFor(WaitKind::SessionOpen, {VEK_NOTIFY_SESSION_OPENED});
    if (!opened.Ok())
        return Fail(opened, "the panel session to open");
    return ExitCode::Ok;
}

ExitCode CallFlow::AnswerCall()
{
    Console& out = m_session.Out();
    out.Line(out.Paint("Waiting for a panel to call in on COM" + std::to_string(m_plan.modem.port), Style::Bold));
    m_session.BeginStage(CallStage::Answer);
    if (VEKComm2_PanelInit(nullptr, "", "", 2) != 1)
        return Refused("VEKComm2_PanelInit");
    // A caller that does not identify itself is hung up on by the library,
    // which then answers again: keep waiting.
    const WaitResult incoming = m_session.WaitFor(WaitKind::IncomingCall, {VEK_NOTIFY_INCOMING_IDENTIFIED},
                                                  {VEK_NOTIFY_PORT_UNAVAILABLE, VEK_NOTIFY_MODEM_FAILED});
    if (!incoming.Ok())
        return Fail(incoming, "a panel to call in");
    m_callStart = ConnectedAt(m_session).value_or(incoming.note.ms);
    const IdentificationInfo info = DecodeIdentification(incoming.note.block);
    out.Line("  reply " + HexBytes(info.reply, 24));
    if (info.type != m_plan.panel.type || info.version != m_plan.panel.version)
        out.Line(out.Paint("  note: the panel record expects type " + std::to_string(m_plan.panel.type) + " version " +
                               std::to_string(m_plan.panel.version),
                           Style::Bad));
    out.Line(out.Paint("Opening the session", Style::Bold));
    const PanelSettings& panel = m_plan.panel;
    if (VEKComm2_PanelInit(m_record.data(), panel.openCode.c_str(), panel.idCode.c_str(), 0) != 1)
        return Refused("VEKComm2_PanelInit");
    return OpenSession();
}

ExitCode CallFlow::TransfersThenHangUp(Transfers& transfers)
{
    const ExitCode code = transfers.Run(m_plan.transfers);
    // A file not saved or a short read leave the call as it was.
    const bool callFine = code == ExitCode::Ok || code == ExitCode::Failed || code == ExitCode::ShortRead;
    if (!callFine) {
        m_session.EndCall();
        m_callEnd = m_session.ElapsedMs();
        return code;
    }
    const ExitCode hungUp = HangUp();
    return code != ExitCode::Ok ? code : hungUp;
}

ExitCode CallFlow::HangUp()
{
    Console& out = m_session.Out();
    out.Line(out.Paint(m_plan.forceHangUp ? "Hanging up at once (abort pattern)" : "Hanging up", Style::Bold));
    m_session.BeginStage(CallStage::HangUp);
    if (m_plan.forceHangUp)
        VEKComm2_ForceHangUp();
    else
        VEKComm2_HangUp(0, 0);
    // Link lost is how a forced hang-up goes: only the modem can fail here.
    for (const int code : {VEK_NOTIFY_ON_HOOK, VEK_NOTIFY_MODEM_READY}) {
        const WaitResult result =
            m_session.WaitFor(WaitKind::HangUp, {code}, {VEK_NOTIFY_MODEM_FAILED, VEK_NOTIFY_PORT_UNAVAILABLE});
        if (!result.Ok()) {
            m_callEnd = m_session.ElapsedMs();
            return m_session.Report(result, code == VEK_NOTIFY_ON_HOOK ? "the line to go on hook" : "the modem reset");
        }
        if (code == VEK_NOTIFY_ON_HOOK)
            m_callEnd = result.note.ms;
    }
    return ExitCode::Ok;
}

ExitCode RunCallPlan(CallFlow& flow, Transfers& transfers, bool answer)
{
    if (const ExitCode code = flow.StartLibrary(); code != ExitCode::Ok)
        return code;
    if (answer) {
        if (const ExitCode code = flow.AnswerCall(); code != ExitCode::Ok)
            return code;
    } else {
        if (const ExitCode code = flow.StartModem(); code != ExitCode::Ok)
            return code;
        if (const ExitCode code = flow.PlaceCall(); code != ExitCode::Ok)
            return code;
    }
    return flow.TransfersThenHangUp(transfers);
}

} // namespace vekhost
