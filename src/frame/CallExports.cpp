// Exports that place, answer and end calls and move data. Hang-up and
// transfers are done by the link code; placing and answering calls is not
// built yet, so PanelInit reports failure and AnsOverrideCall does nothing.
#include "dialog/CCommStatusDlg.h"
#include "frame/CComm2App.h"
#include "frame/ExportGuard.h"
#include "link/AddPool.h"
#include "link/QueueHangUp.h"
#include "serial/LineSettings.h"
#include "vek_comm2.h"

using namespace vek;

extern "C" {

int VEKComm2_AddPool(HGLOBAL request)
{
    return Guarded(1, [&] {
        if (theApp.m_pStatusDlg != nullptr)
            AddPool(*theApp.m_pStatusDlg, request);
        return 1;
    });
}

int VEKComm2_AnsOverrideCall(void) { return 1; }

int VEKComm2_HangUp(int a, int b)
{
    return Guarded(1, [&] {
        if (theApp.m_pStatusDlg != nullptr)
            QueueHangUp(*theApp.m_pStatusDlg, a, b);
        return 1;
    });
}

int VEKComm2_PanelInit(void* panelRecord, const char* openCode, const char* idCode, int mode)
{
    (void)panelRecord;
    (void)openCode;
    (void)idCode;
    (void)mode;
    return 0;
}

int VEKComm2_UserInitInfo(int lineSpeed, int linkMode)
{
    return Guarded(1, [&] {
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        if (dlg == nullptr)
            return 1;
        if (lineSpeed != dlg->m_nCurrentBaudRate)
            SetPortSpeed(*dlg, lineSpeed);
        dlg->m_nLinkMode = linkMode;
        return 1;
    });
}

} // extern "C"
