// While a call is online the worker counts silent 9000 ms ticks: a keep-alive
// frame after each, the host asked for work after six, and the host's
// configured idle time ends in the disconnect command to the record window.
#include "host/HostPanelRecord.h"
#include "link/CommThreadProc.h"
#include "link/QueueKeepAlive.h"
#include "link/Session.h"
#include "link/SessionState.h"
#include "modem/CModemSettings.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr uint32_t kKeepAliveTicks = 6;

bool IsModemCall(const CModem* modem) { return modem != nullptr && !modem->IsPCLink(); }

void CountSilentTick(Session& session, PanelRecordView record)
{
    if (g_nKeepAliveCountdown.load() < 100)
        --g_nKeepAliveCountdown;
    const CModem* modem = session.CurrentModem();
    const bool idleDisconnectOn = record.IdleFactorB() != 0 && IsModemCall(modem);
    if (idleDisconnectOn)
        --g_nIdleCountdown;
    if (idleDisconnectOn && g_nIdleCountdown == 0) {
        g_bIdleDisconnect = 1;
        PostMessageA(record.RecordWindow(), WM_COMMAND, VEK_CMD_IDLE_DISCONNECT, 0);
    } else if (session.m_nLinkMode > 0) {
        QueueKeepAlive(session, false, false);
    }
    if (g_nKeepAliveCountdown == 0)
        PostMessageA(session.m_hWnd, VEK_WM_COMM_KEEPALIVE, 0, 0);
}

} // namespace

void IdleWatch(Session& session, WakeReason wake)
{
    const PanelRecordView record(session.m_pPanelRecord);
    const bool online = g_bOnline != 0;
    if (!record.IsAttached()) {
        if (online && session.m_nLinkMode > 0 && wake == WakeReason::TimedOut)
            QueueKeepAlive(session, false, false);
        return;
    }
    if (!online)
        return;
    if (wake == WakeReason::Signalled) {
        g_nKeepAliveCountdown = kKeepAliveTicks;
        g_nIdleCountdown = record.IdleCountdownTicks();
        return;
    }
    CountSilentTick(session, record);
}

} // namespace vek
