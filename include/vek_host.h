/* vek_host.h - what a host of vek_comm2 needs on a platform without Win32.
 *
 * Handles are 32-bit values issued from tables, never pointers, so that they
 * fit the 4-byte handle fields of the host records. Handle 0 means none.
 * All functions are safe to call from any thread unless noted.
 */
#ifndef VEK_HOST_H
#define VEK_HOST_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#error "vek_host.h is for hosts without Win32; Windows hosts include vek_comm2.h, which brings <windows.h>"
#endif

#define VEK_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t HWND;
typedef uint32_t HGLOBAL;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef unsigned int UINT;
typedef LRESULT (*WNDPROC)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

#define WM_COMMAND 273u
#define WM_USER 1024u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u

/* Message windows. A window belongs to the thread that created it; its
 * procedure runs only on that thread, from VekPumpMessages or from a
 * SendMessageA made on that thread. */
VEK_API HWND VekCreateWindow(WNDPROC proc, void* context);
VEK_API void* VekWindowContext(HWND hwnd);
VEK_API int VekDestroyWindow(HWND hwnd);
/* Queues the message to the owner thread; 0 when the window does not exist. */
VEK_API int PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
/* Owner thread: direct call. Other threads: delivered on the owner thread
 * while it pumps, and the caller waits. 0 when the window does not exist. */
VEK_API LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
/* Dispatches the calling thread's queued messages in order; waits up to
 * timeoutMs (-1: no limit) for the first. Returns how many were dispatched. */
VEK_API int VekPumpMessages(int timeoutMs);

/* Movable global memory. Blocks are always zero-filled. */
VEK_API HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
VEK_API void* GlobalLock(HGLOBAL h);   /* NULL for 0 or a stale handle */
VEK_API int GlobalUnlock(HGLOBAL h);   /* nonzero while still locked */
VEK_API HGLOBAL GlobalFree(HGLOBAL h); /* 0 on success, h on failure */
VEK_API size_t GlobalSize(HGLOBAL h);  /* 0 for 0 or a stale handle */

/* Stand-in for modal message boxes: default prints "caption: text" to stderr
 * and returns at once. NULL restores the default. */
VEK_API void VekSetMessageBoxHook(void (*hook)(const char* caption, const char* text));
/* Stand-in for GetAsyncKeyState; default: no key down. NULL restores it. */
VEK_API void VekSetKeyStateHook(short (*hook)(int virtualKey));
/* COMn -> device path. The environment variable VEK_COM<n> wins; the default
 * is /dev/ttyS<n-1>; port 0 has no device. NULL or "" removes a mapping.
 * Returns 1 on success, 0 for a port number below 1. */
VEK_API int VekSetPortDevice(int port, const char* devicePath);
/* Folder of "Trv3.mdm"; default: the running executable's folder. NULL
 * restores the default. */
VEK_API void VekSetDataFolder(const char* folder);

/* What the line has carried, counted by the library as it writes to and
 * reads from the port (since the library was loaded). */
typedef struct VekLineFigures {
    uint64_t bytesSent;     /* every byte written to the port */
    uint64_t bytesReceived; /* every byte read from the port */
    uint64_t framesSent;    /* writes: frames, modem command lines, fillers */
    uint64_t resends;       /* writes that repeat the one before byte for byte */
    int32_t lineSpeed;      /* the line speed now, bit/s; 0 before VEKComm2_Init */
    int32_t efficiency;     /* the link efficiency counter, 0 to 10 */
} VekLineFigures;
/* Fills figures. Call on the thread that called VEKComm2_Init (the line
 * speed is that thread's); the counters are read without a lock. Returns 1,
 * or 0 for NULL. */
VEK_API int VekGetLineFigures(VekLineFigures* figures);
/* Every trace line ("<ms> TX 41 54 0D", the lines of the VEK_TRACE file,
 * without the line end) also goes to hook, with context, on the library
 * thread that traces it, whether or not VEK_TRACE is set. The hook must
 * return quickly and must not call the library. NULL stops it. */
VEK_API void VekSetTraceHook(void (*hook)(const char* line, void* context), void* context);

/* Not provided by the library: a host may define this (with C linkage and
 * default visibility) and the library calls it when the line is idle. */
typedef int (*VekOnlineReqProcessFn)(void* record, int what, int arg);

#ifdef __cplusplus
}
#endif

#endif /* VEK_HOST_H */
