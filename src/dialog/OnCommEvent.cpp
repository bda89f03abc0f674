// The control's events: the call routes what arrived, then the status line
// says what happened.
#include "dialog/CCommStatusDlg.h"
#include "serial/SerialDevice.h"

namespace vek {
namespace {

const char* StatusText(int16_t code)
{
    switch (code) {
    case COMM_EV_SEND: return "Sent All Charaters"; // the wording users know
    case COMM_EV_RECEIVE: return "Receiving";
    case COMM_EV_CTS: return "Change in CTS Detected";
    case COMM_EV_DSR: return "Change in DSR Detected";
    case COMM_EV_CD: return "Change in CD Detected";
    case COMM_EV_RING: return "Phone is Ringing";
    case COMM_EV_EOF: return "End of File Detected";
    default: return nullptr; // line errors leave the status line alone
    }
}

} // namespace

void CCommStatusDlg::OnCommEvent()
{
    const int16_t code = m_commCtrl.GetCommEvent();
    RouteCommEvent(code);
    if (const char* text = StatusText(code))
        m_strStatus = text;
}

} // namespace vek
