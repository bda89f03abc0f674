// A host transfer request becomes packet steps on the queue.
#pragma once

#include "vek_comm2.h"

namespace vek {

class CCommStatusDlg;

// Takes ownership of the request block and its data block once it has locked
// them, and frees both before it returns.
void AddPool(CCommStatusDlg& dlg, HGLOBAL request);

} // namespace vek
