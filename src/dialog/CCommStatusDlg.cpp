#include "dialog/CCommStatusDlg.h"

#include "link/CarrierWatch.h"
#include "link/CommThreadProc.h"
#include "link/RequestQueue.h"
#include "link/RxSilenceTimer.h"
#include "platform/MessageBox.h"
#include "platform/MessageWindow.h"
#include "serial/DeviceFactory.h"
#include "vek_comm2.h"

namespace vek {

CCommStatusDlg::CCommStatusDlg() = default;

CCommStatusDlg::~CCommStatusDlg()
{
    StopWorker();
    // The worker has ended: nobody else touches the queue now.
    QueueClear();
}

void CCommStatusDlg::StopWorker()
{
    if (!m_pWorker)
        return;
    // The worker tests the stop event only after its queue wait ends.
    g_evStop.Set();
    g_evQueue.Set();
    m_pWorker->Join();
    m_pWorker.reset();
    StopRxSilenceTimerThread();
    StopCarrierWatch();
}

bool CCommStatusDlg::Create(HWND parent)
{
    m_hWndParent = parent;
    m_hWnd = CreateMessageWindow(parent, &CCommStatusDlg::WindowProc, this);
    if (m_hWnd == 0)
        return false;
    // A failed initialisation leaves the window in place, without control
    // and worker, as a failed dialog initialisation does.
    OnInitDialog();
    return true;
}

void CCommStatusDlg::DestroyWindow()
{
    // The worker posts to the window: it ends before the handle goes.
    StopWorker();
    if (m_hWnd != 0)
        DestroyMessageWindow(m_hWnd);
    m_hWnd = 0;
    delete this; // the modeless dialog deletes itself once its window is gone
}

int CCommStatusDlg::OnInitDialog()
{
    m_strStatus.clear();
    if (!m_commCtrl.Create(MakeSerialDevice())) {
        ShowAppMessage("Failed to create OLE Communications Control");
        return -1;
    }
    m_commCtrl.SetRThreshold(1);
    m_commCtrl.SetSThreshold(1);
    m_commCtrl.SetDTREnable(true);
    m_commCtrl.SetEventWindow(m_hWnd);
    m_pWorker = std::make_unique<WorkerThread>();
    m_pWorker->Start([this] { CommThreadProc(this); }, true);
    return 1;
}

LRESULT CCommStatusDlg::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dlg = static_cast<CCommStatusDlg*>(MessageWindowContext(hwnd));
    if (dlg == nullptr)
        return 0;
    switch (message) {
    case VEK_WM_COMM_NOTICE: return dlg->OnWorkerNotify(wParam, lParam);
    case VEK_WM_COMM_STEP_DONE: return dlg->OnWorkerStatus(wParam, lParam);
    case WM_COMMAND: return dlg->OnCommand(wParam);
    case VEK_WM_COMM_KEEPALIVE: return dlg->OnKeepAliveDue(wParam, lParam);
    case WM_VEK_COMM_EVENT:
        dlg->m_commCtrl.BeginEvent(static_cast<int16_t>(static_cast<uint16_t>(wParam)));
        dlg->OnCommEvent();
        return 0;
    default: return 0;
    }
}

LRESULT CCommStatusDlg::OnCommand(WPARAM wParam)
{
    // Control id in the low word, notification code (0: clicked) in the high.
    const auto id = static_cast<uint16_t>(wParam & 0xFFFF);
    const auto notification = static_cast<uint16_t>((wParam >> 16) & 0xFFFF);
    if (id == VEK_CMD_HANGUP_BUTTON && notification == 0)
        ForcedHangUp();
    return 0;
}

} // namespace vek
