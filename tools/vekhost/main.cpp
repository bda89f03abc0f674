// vekhost: a host program for the vek_comm2 library, run from a shell.
//
// For now it starts the library, asks it to hang up with no call in place,
// shows the notifications the library sends back (message 1075) and shuts
// the library down again.
#include "vek_comm2.h"

#include <cstdio>
#include <vector>

namespace {

std::vector<int> g_received;

const char* CodeName(int code)
{
    switch (code) {
    case VEK_NOTIFY_ON_HOOK: return "line on hook";
    case VEK_NOTIFY_MODEM_READY: return "modem ready";
    case VEK_NOTIFY_PORT_UNAVAILABLE: return "port unavailable";
    case VEK_NOTIFY_CONNECTED: return "connected";
    default: return "notification";
    }
}

LRESULT HostWindowProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != VEK_WM_COMM_HOST_NOTIFY)
        return 0;
    const int code = static_cast<int>(wParam);
    std::printf("notification %d (%s), lParam %ld\n", code, CodeName(code), static_cast<long>(lParam));
    g_received.push_back(code);
    return 0;
}

} // namespace

int main()
{
    const HWND host = VekCreateWindow(&HostWindowProc, nullptr);
    if (VEKComm2_Init(host) != 1) {
        std::fprintf(stderr, "vekhost: the library did not start\n");
        return 1;
    }
    std::printf("library started; line speed %d bit/s\n", VEKComm2_GetCurrentBaudRate());
    VEKComm2_HangUp(0, 0);
    // Notifications arrive through this thread's message queue.
    for (int i = 0; i < 20 && g_received.size() < 2; ++i)
        VekPumpMessages(100);
    VEKComm2_Uninit();
    VekDestroyWindow(host);
    if (g_received.size() < 2) {
        std::fprintf(stderr, "vekhost: expected two notifications, got %zu\n", g_received.size());
        return 1;
    }
    std::printf("library stopped\n");
    return 0;
}
