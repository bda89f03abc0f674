// While a call is online the worker counts silent 9000 ms ticks: a keep-alive
// frame after each, the host asked for work after six, and the host's
// configured idle time ends in the disconnect command to the record window.
#include "dialog/CCommStatusDlg.h"
#include "frame/HostPanelRecord.h"
#include "link/CommThreadProc.h"
#include "link/QueueKeepAlive.h"
#include "link/SessionState.h"
#include "modem/CModemSettings.h"
#include "vek_comm2.h"

namespace vek {
namespace {

constexpr uint32_t kKeepAliveTicks = 6;

bool IsModemCall(const CModem* modem) { return modem != nullptr && !modem->IsPCLink(); }

void CountSilentTick(CCommStatusDlg& dlg, PanelRecordView record)
{
    if (g_nKeepAliveCountdown.load() < 100)
        --g_nKeepAliveCountdown;
    const CModem* modem = dlg.CurrentModem();
    const bool idleDisconnectOn = record.IdleFactorB() != 0 && IsModemCall(modem);
    if (idleDisconnectOn)
        --g_nIdleCountdown;
    if (idleDisconnectOn && g_nIdleCountdown == 0) {
        g_bIdleDisconnect = 1;
        PostMessageA(record.RecordWindow(), WM_COMMAND, VEK_CMD_IDLE_DISCONNECT, 0);
    } else if (dlg.m_nLinkMode > 0) {
        QueueKeepAlive(dlg, false, false);
    }
    if (g_nKeepAliveCountdown == 0)
        PostMessageA(dlg.m_hWnd, VEK_WM_COMM_KEEPALIVE, 0, 0);
}

} // namespace

void IdleWatch(CCommStatusDlg& dlg, WakeReason wake)
{
    const PanelRecordView record(dlg.m_pPanelRecord);
    const bool online = g_bOnline != 0;
    if (!record.IsAttached()) {
        if (online && dlg.m_nLinkMode > 0 && wake == WakeReason::TimedOut)
            QueueKeepAlive(dlg, false, false);
        return;
    }
    if (!online)
        return;
    if (wake == WakeReason::Signalled) {
        g_nKeepAliveCountdown = kKeepAliveTicks;
        g_nIdleCountdown = record.IdleCountdownTicks();
        return;
    }
    CountSilentTick(dlg, record);
}

} // namespace vek
