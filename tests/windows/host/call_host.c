/* A Windows host as the real one drives the library: loads vek_comm2.dll,
 * hands it a window, sets up the modem on COMn, calls the panel, writes and
 * reads back panel memory, hangs up, and checks each notification on the
 * way. Usage: call_host PORT NUMBER [line-goes]. With line-goes it waits,
 * once online, for the other end to go away instead. Exit 0 when the call
 * went as it should; each notification is printed as it arrives. */
#include "vek_comm2.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int(__cdecl* InitFn)(HWND);
typedef int(__cdecl* VoidFn)(void);
typedef int(__cdecl* BlockFn)(HGLOBAL);
typedef int(__cdecl* PanelInitFn)(void*, const char*, const char*, int);
typedef int(__cdecl* HangUpFn)(int, int);
/* GetProcAddress gives a FARPROC; this type converts to any function. */
typedef void (*AnyFn)(void);

static struct Library {
    HMODULE dll;
    InitFn init;
    VoidFn uninit, commInit, baudRate;
    BlockFn setupModem, addPool;
    PanelInitFn panelInit;
    HangUpFn hangUp;
} g_lib;

/* Notifications as they arrive; a block of 6 is kept for the test. */
static int g_codes[256];
static int g_codeCount = 0;
static BYTE g_readBack[64];
static SIZE_T g_readBackSize = 0;

static const char kWritten[] = "windows!";
enum { kWriteAddress = 0x0120, kReadAddress = 0x0118, kReadCount = 16, kTimeoutMs = 30000 };

static void KeepBlock(HGLOBAL block)
{
    const BYTE* p = (const BYTE*)GlobalLock(block);
    g_readBackSize = GlobalSize(block) < sizeof g_readBack ? GlobalSize(block) : sizeof g_readBack;
    if (p != NULL) {
        memcpy(g_readBack, p, g_readBackSize);
        GlobalUnlock(block);
    }
}

static LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != VEK_WM_COMM_HOST_NOTIFY)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    printf("notification %d%s\n", (int)wParam, lParam != 0 ? " with a block" : "");
    fflush(stdout);
    if (g_codeCount < (int)(sizeof g_codes / sizeof g_codes[0]))
        g_codes[g_codeCount++] = (int)wParam;
    /* Blocks with notifications pass to the host, which frees them. */
    if (lParam != 0) {
        if (wParam == VEK_NOTIFY_READ_DONE)
            KeepBlock((HGLOBAL)lParam);
        GlobalFree((HGLOBAL)lParam);
    }
    return 0;
}

/* Notifications come in order: each wait looks only past the last one. */
static int g_cursor = 0;

static int SeenFrom(int from, int code)
{
    for (int i = from; i < g_codeCount; ++i)
        if (g_codes[i] == code)
            return i + 1;
    return 0;
}

/* Pumps messages until code arrives; 0 on time-out or a failure code. */
static int WaitFor(int code, const char* what)
{
    static const int kFailures[] = {
        VEK_NOTIFY_NO_CARRIER,       VEK_NOTIFY_BUSY,      VEK_NOTIFY_NO_DIALTONE,  VEK_NOTIFY_NO_IDENTIFICATION,
        VEK_NOTIFY_PORT_UNAVAILABLE, VEK_NOTIFY_LINK_LOST, VEK_NOTIFY_MODEM_FAILED, VEK_NOTIFY_EXCHANGE_FAILED,
        VEK_NOTIFY_TRANSFER_REFUSED};
    const DWORD start = GetTickCount();
    int found;
    while ((found = SeenFrom(g_cursor, code)) == 0) {
        for (size_t i = 0; i < sizeof kFailures / sizeof kFailures[0]; ++i)
            if (kFailures[i] != code && SeenFrom(g_cursor, kFailures[i])) {
                printf("FAIL: notification %d while waiting for %s\n", kFailures[i], what);
                return 0;
            }
        const DWORD waited = GetTickCount() - start;
        if (waited >= kTimeoutMs) {
            printf("FAIL: no %s (%d) within %d ms\n", what, code, kTimeoutMs);
            return 0;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, kTimeoutMs - waited, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    g_cursor = found;
    printf("ok: %s\n", what);
    return 1;
}

static int LoadVekComm2(void)
{
    g_lib.dll = LoadLibraryA("vek_comm2.dll");
    if (g_lib.dll == NULL)
        return 0;
    g_lib.init = (InitFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_Init");
    g_lib.uninit = (VoidFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_Uninit");
    g_lib.commInit = (VoidFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_CommInit");
    g_lib.baudRate = (VoidFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_GetCurrentBaudRate");
    g_lib.setupModem = (BlockFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_SetupModem");
    g_lib.addPool = (BlockFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_AddPool");
    g_lib.panelInit = (PanelInitFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_PanelInit");
    g_lib.hangUp = (HangUpFn)(AnyFn)GetProcAddress(g_lib.dll, "VEKComm2_HangUp");
    return g_lib.init && g_lib.uninit && g_lib.commInit && g_lib.baudRate && g_lib.setupModem && g_lib.addPool &&
           g_lib.panelInit && g_lib.hangUp;
}

static HWND MakeHostWindow(void)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "VekCallHost";
    if (!RegisterClassA(&wc))
        return NULL;
    return CreateWindowA("VekCallHost", "vek_comm2 call host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                         wc.hInstance, NULL);
}

static void Put16(BYTE* p, size_t offset, unsigned value)
{
    p[offset] = (BYTE)value;
    p[offset + 1] = (BYTE)(value >> 8);
}

static void Put32(BYTE* p, size_t offset, DWORD value)
{
    Put16(p, offset, value & 0xFFFF);
    Put16(p, offset + 2, value >> 16);
}

static HGLOBAL NewBlock(size_t bytes) { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes); }

static HGLOBAL ModemSetup(int port)
{
    HGLOBAL block = NewBlock(VEK_MODEM_SETUP_MIN_SIZE);
    BYTE* p = (BYTE*)GlobalLock(block);
    Put32(p, VEK_SETUP_COM_PORT, (DWORD)port);
    Put32(p, VEK_SETUP_BAUD_RATE, 9600);
    strcpy((char*)p + VEK_SETUP_INIT, "ATE0S12=10"); /* a short escape guard time */
    strcpy((char*)p + VEK_SETUP_RESET, "ATZ");
    strcpy((char*)p + VEK_SETUP_ESCAPE, "+++");
    strcpy((char*)p + VEK_SETUP_HANGUP_STEM, "ATH");
    strcpy((char*)p + VEK_SETUP_TONE_DIAL, "DT");
    strcpy((char*)p + VEK_SETUP_PULSE_DIAL, "DP");
    Put16(p, VEK_SETUP_ANSWER_RINGS, 1);
    GlobalUnlock(block);
    return block;
}

/* Link mode 2, panel type 19 version 2, the number to dial, our window. */
static BYTE* PanelRecord(const char* number, HWND window)
{
    BYTE* record = (BYTE*)calloc(1, VEK_PANEL_RECORD_MIN_SIZE);
    Put16(record, VEK_PANEL_LINE_SPEED, 9600);
    Put16(record, VEK_PANEL_SECOND_SPEED, 9600);
    Put16(record, VEK_PANEL_DIRECT_SPEED, 9600);
    Put16(record, VEK_PANEL_EXPECTED_TYPE, 19);
    Put16(record, VEK_PANEL_EXPECTED_VERSION, 2);
    Put16(record, VEK_PANEL_LINK_MODE, 2);
    strncpy((char*)record + VEK_PANEL_PHONE_NUMBER, number, 80);
    Put32(record, VEK_PANEL_RECORD_WINDOW, (DWORD)(ULONG_PTR)window);
    return record;
}

/* A read ('u') or write ('-') of count bytes at address; data is a block of
 * at least count bytes either way. */
static HGLOBAL PoolRequest(unsigned address, DWORD count, BYTE command, DWORD operation, HGLOBAL data)
{
    HGLOBAL block = NewBlock(VEK_POOL_RECORD_MIN_SIZE);
    BYTE* p = (BYTE*)GlobalLock(block);
    Put16(p, VEK_POOL_ADDRESS, address);
    Put32(p, VEK_POOL_COUNT, count);
    p[VEK_POOL_COMMAND] = command;
    Put32(p, VEK_POOL_DATA, (DWORD)(ULONG_PTR)data);
    Put32(p, VEK_POOL_OPERATION, operation);
    GlobalUnlock(block);
    return block;
}

static HGLOBAL WriteData(void)
{
    HGLOBAL block = NewBlock(sizeof kWritten - 1);
    memcpy(GlobalLock(block), kWritten, sizeof kWritten - 1);
    GlobalUnlock(block);
    return block;
}

static int PlaceCall(int port, BYTE* record)
{
    if (g_lib.setupModem(ModemSetup(port)) != 1 || g_lib.commInit() != 1) {
        printf("FAIL: the modem setup or CommInit was refused\n");
        return 0;
    }
    return WaitFor(VEK_NOTIFY_MODEM_READY, "modem ready") && g_lib.panelInit(record, "1234", "", 1) == 1 &&
           WaitFor(VEK_NOTIFY_CONNECTED, "connected") && WaitFor(VEK_NOTIFY_IDENTIFIED, "panel identified") &&
           WaitFor(VEK_NOTIFY_SESSION_OPENED, "session opened");
}

static int WriteAndReadBack(void)
{
    int ok = g_lib.addPool(PoolRequest(kWriteAddress, sizeof kWritten - 1, 0x57, '-', WriteData())) == 1 &&
             WaitFor(VEK_NOTIFY_WRITE_DONE, "memory written");
    ok = ok && g_lib.addPool(PoolRequest(kReadAddress, kReadCount, 0x52, 'u', NewBlock(kReadCount))) == 1 &&
         WaitFor(VEK_NOTIFY_READ_DONE, "memory read back");
    if (ok && (g_readBackSize != kReadCount || memcmp(g_readBack + 8, kWritten, 8) != 0)) {
        printf("FAIL: read back %u bytes without \"%s\" at offset 8\n", (unsigned)g_readBackSize, kWritten);
        ok = 0;
    }
    return ok;
}

static int HangUp(void)
{
    return g_lib.hangUp(0, 0) == 1 && WaitFor(VEK_NOTIFY_ON_HOOK, "on hook") &&
           WaitFor(VEK_NOTIFY_MODEM_READY, "modem ready again");
}

/* The other end goes away during the call: the host hears the link lost,
 * on hook and modem ready, as when a carrier drops. */
static int LoseTheLine(void)
{
    printf("online: take the line away now\n");
    fflush(stdout);
    return WaitFor(VEK_NOTIFY_LINK_LOST, "link lost") && WaitFor(VEK_NOTIFY_ON_HOOK, "on hook") &&
           WaitFor(VEK_NOTIFY_MODEM_READY, "modem ready again");
}

static int Call(int port, const char* number, HWND window, int lineGoes)
{
    BYTE* record = PanelRecord(number, window);
    int ok = PlaceCall(port, record);
    if (ok && lineGoes)
        ok = LoseTheLine();
    else if (ok) {
        ok = WriteAndReadBack();
        if (ok)
            printf("line speed %d bit/s\n", g_lib.baudRate());
        ok = ok && HangUp();
    }
    free(record);
    return ok;
}

int main(int argc, char** argv)
{
    const int lineGoes = argc == 4 && strcmp(argv[3], "line-goes") == 0;
    if (argc != 3 && !lineGoes) {
        printf("usage: call_host PORT NUMBER [line-goes]\n");
        return 2;
    }
    if (!LoadVekComm2()) {
        printf("FAIL: vek_comm2.dll or one of its exports is missing\n");
        return 1;
    }
    HWND window = MakeHostWindow();
    if (window == NULL || g_lib.init(window) != 1) {
        printf("FAIL: no host window or VEKComm2_Init refused\n");
        return 1;
    }
    const int ok = Call(atoi(argv[1]), argv[2], window, lineGoes);
    printf("stopping the library\n");
    fflush(stdout);
    g_lib.uninit();
    printf("unloading the library\n");
    fflush(stdout);
    FreeLibrary(g_lib.dll);
    DestroyWindow(window);
    printf(ok ? "PASS: the call from a Windows host went as it should\n" : "FAIL\n");
    return ok ? 0 : 1;
}
