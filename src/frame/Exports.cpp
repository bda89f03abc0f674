// The exported functions that live with the application object. Each runs
// on the host's thread; no exception leaves the library.
#include "dialog/CCommStatusDlg.h"
#include "frame/CComm2App.h"
#include "frame/ExportGuard.h"
#include "link/SessionState.h"
#include "vek_comm2.h"

using namespace vek;

namespace {

CCommStatusDlg* Dialog() { return theApp.m_pStatusDlg; }

int InitLibrary(HWND hostWindow)
{
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
    return 1;
}

int DoNothing() { return 1; }

} // namespace

extern "C" {

int VEKComm2_Init(HWND hostWindow)
{
    return Guarded(0, [&] { return InitLibrary(hostWindow); });
}

int VEKComm2_Uninit(void)
{
    return Guarded(1, [] {
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        theApp.m_pStatusDlg = nullptr;
        if (dlg != nullptr)
            dlg->DestroyWindow();
        return 1;
    });
}

int VEKComm2_CommInit(void)
{
    return Guarded(0, [] { return Dialog() ? Dialog()->CommInit(VEK_NOTIFY_MODEM_READY) : 0; });
}

int VEKComm2_ForceHangUp(void)
{
    return Guarded(1, [] {
        if (Dialog() != nullptr)
            SendMessageA(Dialog()->m_hWnd, WM_COMMAND, VEK_CMD_HANGUP_BUTTON, 0);
        return 1;
    });
}

int VEKComm2_GetCurrentBaudRate(void)
{
    return Guarded(0, [] { return Dialog() ? Dialog()->m_nCurrentBaudRate : 0; });
}

void VEKComm2_ResetEfficiency(void) { g_nEfficiency = 10; }

int VEKComm2_Debug(void) { return DoNothing(); }
int VEKComm2_OptionsDlg(void) { return DoNothing(); }
int VEKComm2_ShowInfoDlg(void) { return DoNothing(); }

} // extern "C"
