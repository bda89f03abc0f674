// The exported functions that live with the application object. Each runs
// on the host's thread; no exception leaves the library.
#include "dialog/CCommStatusDlg.h"
#include "frame/ExportGuard.h"
#include "host/CComm2App.h"
#include "link/CarrierWatch.h"
#include "link/RxSilenceTimer.h"
#include "link/SessionState.h"
#include "platform/Event.h"
#include "platform/EventHub.h"
#include "platform/MessageWindow.h"
#include "platform/ModuleLifetime.h"
#include "platform/Trace.h"
#include "platform/WindowOwner.h"
#include "vek_comm2.h"

#include <memory>
#include <mutex>

using namespace vek;

namespace {

CCommStatusDlg* Dialog() { return theApp.m_pStatusDlg; }

// Start and stop of the library are one at a time, whichever threads call.
std::mutex& LifecycleMutex()
{
    static std::mutex m;
    return m;
}

void StopLibrary()
{
    CCommStatusDlg* dlg = theApp.m_pStatusDlg.exchange(nullptr);
    if (dlg != nullptr)
        dlg->DestroyWindow();
}

// A host that exits or unloads the library without Uninit: its threads are
// stopped before the code or anything they use goes away. Every wait ends at
// once meanwhile, so the worker runs out of its step in moments; the port
// is closed with the device.
struct StopAtExit {
    StopAtExit() = default;
    StopAtExit(const StopAtExit&) = delete;
    StopAtExit& operator=(const StopAtExit&) = delete;
    ~StopAtExit()
    {
        // Threads killed by the system at exit cannot be stopped or waited for.
        if (ProcessIsEnding())
            return;
        std::lock_guard lock(LifecycleMutex());
        if (theApp.m_pStatusDlg == nullptr)
            return;
        AbandonWaits(true);
        StopLibrary();
        AbandonWaits(false);
    }
};

// Made once the first start is complete, after everything the library's
// threads use, so that its destructor runs before any of theirs.
void StopAtExitOnce()
{
    EventHubMutex();
    EventHubCondition();
    (void)GlobalSize(0);
    (void)MessageWindowContext(0);
    (void)TraceEnabled();
    CancelRxSilenceTimer();
    StopCarrierWatch();
    LifecycleMutex();
    static const StopAtExit stop;
}

int InitLibrary(HWND hostWindow)
{
    std::lock_guard lock(LifecycleMutex());
    theApp.m_hWndHost = hostWindow;
    // A second Init without Uninit keeps the running dialog and worker: two
    // workers on one queue would fight over every step, and reloading the
    // database would pull modem definitions from under the running worker.
    if (theApp.m_pStatusDlg != nullptr)
        return 1;
    if (!theApp.LoadModemDatabase())
        return 0;
    auto dlg = std::make_unique<CCommStatusDlg>();
    dlg->m_pModemSettings = &theApp.m_modemSettings;
    if (!dlg->Create(hostWindow))
        return 0;
    theApp.m_pStatusDlg = dlg.release();
    HoldModuleWhileRunning();
    StopAtExitOnce();
    return 1;
}

// The dialogs of the original have no counterpart; they succeed while the
// library runs.
int DoNothing() { return Dialog() != nullptr ? 1 : 0; }

} // namespace

extern "C" {

int VEK_CALL VEKComm2_Init(HWND hostWindow)
{
    return Guarded(0, [&] { return InitLibrary(hostWindow); });
}

int VEK_CALL VEKComm2_Uninit(void)
{
    return Guarded(1, [] {
        std::lock_guard lock(LifecycleMutex());
        StopLibrary();
        return 1;
    });
}

int VEK_CALL VEKComm2_CommInit(void)
{
    return Guarded(0, [] {
        CCommStatusDlg* dlg = Dialog();
        return dlg != nullptr ? dlg->CommInit(VEK_NOTIFY_MODEM_READY) : 0;
    });
}

int VEK_CALL VEKComm2_ForceHangUp(void)
{
    return Guarded(0, [] {
        const CCommStatusDlg* dlg = Dialog();
        if (dlg == nullptr)
            return 0;
        // Sent on the dialog's own thread, so it has run on return; from
        // any other thread posted, so a busy host thread cannot hang it.
        if (IsWindowOwnerThread(dlg->m_hWnd))
            SendMessageA(dlg->m_hWnd, WM_COMMAND, VEK_CMD_HANGUP_BUTTON, 0);
        else
            PostMessageA(dlg->m_hWnd, WM_COMMAND, VEK_CMD_HANGUP_BUTTON, 0);
        return 1;
    });
}

int VEK_CALL VEKComm2_GetCurrentBaudRate(void)
{
    return Guarded(0, [] {
        const CCommStatusDlg* dlg = Dialog();
        return dlg != nullptr ? static_cast<int>(dlg->m_nCurrentBaudRate.load()) : 0;
    });
}

void VEK_CALL VEKComm2_ResetEfficiency(void)
{
    if (Dialog() != nullptr)
        g_nEfficiency = 10;
}

int VEK_CALL VEKComm2_Debug(void) { return DoNothing(); }
int VEK_CALL VEKComm2_OptionsDlg(void) { return DoNothing(); }
int VEK_CALL VEKComm2_ShowInfoDlg(void) { return DoNothing(); }

} // extern "C"
