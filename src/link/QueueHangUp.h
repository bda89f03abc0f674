// Ending a call on the host's request.
#pragma once

namespace vek {

class CCommStatusDlg;

// a: with no call, only report (code 40) instead of putting the modem on
// hook; b: restore answering mode afterwards.
void QueueHangUp(CCommStatusDlg& dlg, int a, int b);

} // namespace vek
