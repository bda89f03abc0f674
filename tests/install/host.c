/* A C host built against the installed package: starts the library, asks it
 * to hang up with no call in place and waits for "on hook" and "modem ready". */
#include <vek_comm2.h>

#include <stdio.h>
#include <time.h>

static int g_onHook = 0;
static int g_modemReady = 0;

static LRESULT HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)hwnd;
    (void)lParam;
    if (message == VEK_WM_COMM_HOST_NOTIFY) {
        if (wParam == VEK_NOTIFY_ON_HOOK)
            g_onHook = 1;
        else if (wParam == VEK_NOTIFY_MODEM_READY)
            g_modemReady = 1;
    }
    return 0;
}

int main(void)
{
    const time_t start = time(NULL);
    HWND window = VekCreateWindow(HostWindowProc, NULL);
    if (window == 0) {
        fprintf(stderr, "host: no message window\n");
        return 1;
    }
    if (VEKComm2_Init(window) != 1) {
        fprintf(stderr, "host: VEKComm2_Init failed\n");
        return 1;
    }
    VEKComm2_HangUp(0, 0);
    while (!(g_onHook && g_modemReady) && time(NULL) - start < 5)
        VekPumpMessages(100);
    VEKComm2_Uninit();
    VekDestroyWindow(window);
    if (!(g_onHook && g_modemReady)) {
        fprintf(stderr, "host: missing notification (8: %d, 9: %d)\n", g_onHook, g_modemReady);
        return 1;
    }
    printf("host: notifications 8 and 9 received\n");
    return 0;
}
