// The send path: every step's bytes go out through the control.
#include "dialog/CCommStatusDlg.h"
#include "link/RequestQueue.h"
#include "platform/MessageBox.h"

namespace vek {

int CCommStatusDlg::SendString(const CPool& step)
{
    CSingleLock lock(g_csPort);
    if (!m_commCtrl.GetPortOpen()) {
        ShowAppMessage("SendString Error, Port Not Open");
        return 0;
    }
    m_commCtrl.SetInBufferCount(0);
    // One byte per write, as the pacing rules of the line expect.
    for (const uint8_t byte : step.m_data) {
        if (!m_commCtrl.SetOutput({&byte, 1}))
            return 0;
    }
    return 1;
}

} // namespace vek
