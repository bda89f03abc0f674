#include "host/PostToHost.h"

#include "host/CComm2App.h"

namespace vek {

void PostToHost(WPARAM code, LPARAM lParam) { PostMessageA(theApp.m_hWndHost, VEK_WM_COMM_HOST_NOTIFY, code, lParam); }

} // namespace vek
