/* A Windows host that leaves without VEKComm2_Uninit: it starts the library
 * and then exits ("exit") or unloads the DLL first ("unload"). Either way
 * the process must end at once; ctest's time-out catches a hang. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

typedef int(__cdecl* InitFn)(HWND);
typedef void (*AnyFn)(void);

static LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int main(int argc, char** argv)
{
    if (argc != 2 || (strcmp(argv[1], "exit") != 0 && strcmp(argv[1], "unload") != 0)) {
        printf("usage: exit_host exit|unload\n");
        return 2;
    }
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = HostWindowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "VekExitHost";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("VekExitHost", "", 0, 0, 0, 10, 10, NULL, NULL, wc.hInstance, NULL);
    HMODULE dll = LoadLibraryA("vek_comm2.dll");
    InitFn init = dll ? (InitFn)(AnyFn)GetProcAddress(dll, "VEKComm2_Init") : NULL;
    if (window == NULL || init == NULL || init(window) != 1) {
        printf("FAIL: the library did not start\n");
        return 1;
    }
    Sleep(200); /* the worker is waiting for work by now */
    if (strcmp(argv[1], "unload") == 0) {
        FreeLibrary(dll);
        printf("unloaded without Uninit\n");
    }
    printf("exiting without Uninit\n");
    return 0;
}
