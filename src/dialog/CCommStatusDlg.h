// The status dialog: a hidden message window on the host's thread that holds
// the call's state, hosts the communications control, owns the worker and
// relays the worker's messages to the host.
#pragma once

#include "link/Session.h"
#include "platform/Thread.h"
#include "vek_comm2.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vek {

inline constexpr int COMM_CONTROL_ID = 100;
inline constexpr int kStatusTemplateId = 6000;

// The dialog is the call's Session; what is its own is the window, its
// message map and relays, the forced hang-up and the worker it owns.
class CCommStatusDlg : public Session {
public:
    CCommStatusDlg();
    ~CCommStatusDlg() override;
    CCommStatusDlg(const CCommStatusDlg&) = delete;
    CCommStatusDlg& operator=(const CCommStatusDlg&) = delete;

    // Creates the hidden window on the calling thread and initialises it.
    // False when no window could be made.
    bool Create(HWND parent);
    // Destroys the window; the object deletes itself afterwards.
    void DestroyWindow();

    // Returns 1 on success, -1 when the control could not be created.
    int OnInitDialog();
    // Message handlers (run on the dialog's thread).
    LRESULT OnWorkerNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnWorkerStatus(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeepAliveDue(WPARAM wParam, LPARAM lParam);
    void ForcedHangUp();
    // One event of the communications control (its CommEvent): where the
    // bytes go, then the status text.
    void OnCommEvent();

    bool HasControl() const { return m_commCtrl.IsCreated(); }
    bool HasWorker() const { return m_pWorker != nullptr; }

    // Set at creation on the dialog's thread.
    HWND m_hWndParent = 0;
    // Dialog thread only: started by OnInitDialog, joined by the teardown.
    std::unique_ptr<WorkerThread> m_pWorker;
    // Dialog thread only: what the last control event said.
    std::string m_strStatus;

private:
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCommand(WPARAM wParam);
    void ResetCall();
    void StopWorker();
};

} // namespace vek
