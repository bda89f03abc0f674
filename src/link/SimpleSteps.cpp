#include "link/SimpleSteps.h"

#include "dialog/CCommStatusDlg.h"
#include "link/ReceiveState.h"
#include "link/RequestQueue.h"
#include "vek_comm2.h"

namespace vek {

void RunDeferCallStep(const CPool& step)
{
    // No event: the worker looks at the queue again before it waits.
    QueueAppend(std::make_unique<CPool>(ByteArray{}, STEP_CALL, 0, step.m_nCode, 1), false);
}

void RunNotifyStep(CCommStatusDlg& dlg, const CPool& step)
{
    PostMessageA(dlg.m_hWnd, VEK_WM_COMM_STEP_DONE, static_cast<WPARAM>(step.m_nCode), 0);
}

void ClearReceiveBuffer() { g_rxBuffer.Clear(); }

} // namespace vek
