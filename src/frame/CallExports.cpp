// Exports that place, answer and end calls and move data; the work is done
// by the link code, on the host's thread, by queueing steps for the worker.
#include "dialog/CCommStatusDlg.h"
#include "frame/ExportGuard.h"
#include "host/CComm2App.h"
#include "link/AddPool.h"
#include "link/HexCodes.h"
#include "link/LineSpeed.h"
#include "link/QueueHangUp.h"
#include "link/RestartAnswering.h"
#include "link/StartCall.h"
#include "vek_comm2.h"

using namespace vek;

extern "C" {

int VEK_CALL VEKComm2_AddPool(HGLOBAL request)
{
    return Guarded(0, [&] {
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        return dlg != nullptr ? AddPool(*dlg, request) : 0;
    });
}

int VEK_CALL VEKComm2_AnsOverrideCall(void)
{
    return Guarded(0, [] {
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        if (dlg == nullptr)
            return 0;
        AnswerOverrideCall(*dlg);
        return 1;
    });
}

int VEK_CALL VEKComm2_HangUp(int a, int b)
{
    return Guarded(0, [&] {
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        if (dlg == nullptr)
            return 0;
        QueueHangUp(*dlg, a, b);
        return 1;
    });
}

int VEK_CALL VEKComm2_PanelInit(void* panelRecord, const char* openCode, const char* idCode, int mode)
{
    return Guarded(0, [&] {
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        if (dlg == nullptr)
            return 0;
        if (panelRecord == nullptr)
            return RestartAnswering(*dlg, mode == 2 ? 1 : 0);
        const PanelRecordView record(panelRecord);
        const bool threeByteOpenCode = (record.PanelOptions() & VEK_PANEL_OPT_OPEN_CODE_3) != 0;
        return StartCall(*dlg, static_cast<HostPanelRecord*>(panelRecord), ParseOpenCode(openCode, threeByteOpenCode),
                         ParseIdentificationCode(idCode), mode);
    });
}

int VEK_CALL VEKComm2_UserInitInfo(int lineSpeed, int linkMode)
{
    return Guarded(0, [&] {
        CCommStatusDlg* dlg = theApp.m_pStatusDlg;
        if (dlg == nullptr)
            return 0;
        // A speed the port refuses is reported (20) and leaves the line as it was.
        if (lineSpeed != dlg->m_nCurrentBaudRate)
            SetPortSpeed(*dlg, lineSpeed);
        dlg->m_nLinkMode = linkMode;
        return 1;
    });
}

} // extern "C"
