// Requests that move a connected line to another speed: up to 1200 or 300
// bit/s after the session opens, down to 300 when 1200 does not hold.
#pragma once

#include "link/CPool.h"

namespace vek {

class CCommStatusDlg;

// The control frame asking the panel for a new speed. longForm: the panel
// takes the long command form (panel option 0x0008).
ByteArray BuildSpeedChangeFrame(int linkMode, bool longForm, bool to1200);

// Each appends one packet step at the tail, without waking the worker.
void QueueSpeedUp1200(CCommStatusDlg& dlg);
void QueueSpeedUp300(CCommStatusDlg& dlg);
void QueueSpeedDown300(CCommStatusDlg& dlg);

} // namespace vek
