#include "link/WorkerNotify.h"

#include "dialog/CCommStatusDlg.h"
#include "vek_comm2.h"

namespace vek {

void PostStepDone(const CCommStatusDlg& dlg, int32_t code, LPARAM lParam)
{
    PostMessageA(dlg.m_hWnd, VEK_WM_COMM_STEP_DONE, static_cast<WPARAM>(code), lParam);
}

void PostNotice(const CCommStatusDlg& dlg, int32_t code, LPARAM lParam)
{
    PostMessageA(dlg.m_hWnd, VEK_WM_COMM_NOTICE, static_cast<WPARAM>(code), lParam);
}

} // namespace vek
