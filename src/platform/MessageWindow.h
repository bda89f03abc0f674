// The status dialog's window and the thread's message pump, over the
// platform's windows: the system's own on Windows, the host API's message
// windows elsewhere.
#pragma once

#include "vek_comm2.h"

namespace vek {

using MessageProc = LRESULT (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// A hidden window owned by the calling thread; its messages go to proc, on
// that thread. parent may be 0. Returns 0 when no window could be made.
HWND CreateMessageWindow(HWND parent, MessageProc proc, void* context);
// The context given at creation; null for an unknown window.
void* MessageWindowContext(HWND hwnd);
// Its messages still waiting are dropped.
void DestroyMessageWindow(HWND hwnd);
// Dispatches the calling thread's waiting messages; waits up to timeoutMs
// (-1: no limit) for the first. Returns how many were dispatched.
int PumpMessages(int timeoutMs);

} // namespace vek
