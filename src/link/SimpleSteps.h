// Step types that need no answer from the line.
#pragma once

#include "link/CPool.h"

namespace vek {

class CCommStatusDlg;

// Appends the call script step that follows a deferred call's bytes.
void RunDeferCallStep(const CPool& step);
// Reports the step's code to the dialog.
void RunNotifyStep(CCommStatusDlg& dlg, const CPool& step);
// Empties the receive buffer (caller holds g_csReceive).
void ClearReceiveBuffer();

} // namespace vek
