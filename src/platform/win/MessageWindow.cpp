// The status dialog is a hidden modeless dialog made from template 6000;
// the messages its procedure takes are those the library posts and sends.
#include "platform/MessageWindow.h"
#include "platform/WindowOwner.h"
#include "resources/StatusDialog.h"

#include <windows.h>

namespace vek {
namespace {

struct WindowState {
    MessageProc proc;
    void* context;
};

HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

WindowState* StateOf(HWND hwnd) { return reinterpret_cast<WindowState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

// The library's messages and commands; everything else is the dialog's own.
bool IsLibraryMessage(UINT message) { return message == WM_COMMAND || message >= WM_USER; }

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, lParam);
        return FALSE; // no focus to set: the dialog is never shown
    }
    WindowState* state = StateOf(hwnd);
    if (state == nullptr || !IsLibraryMessage(message))
        return FALSE;
    const LRESULT result = state->proc(hwnd, message, wParam, lParam);
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

} // namespace

HWND CreateMessageWindow(HWND parent, MessageProc proc, void* context)
{
    if (proc == nullptr)
        return nullptr;
    auto* state = new WindowState{proc, context};
    // A parent that is not a window (or 0) leaves the dialog without owner.
    HWND owner = (parent != nullptr && IsWindow(parent)) ? parent : nullptr;
    HWND hwnd = CreateDialogParamA(ThisModule(), MAKEINTRESOURCEA(IDD_COMM_STATUS), owner, &DialogProc,
                                   reinterpret_cast<LPARAM>(state));
    if (hwnd == nullptr)
        delete state;
    return hwnd;
}

void* MessageWindowContext(HWND hwnd)
{
    WindowState* state = hwnd != nullptr && IsWindow(hwnd) ? StateOf(hwnd) : nullptr;
    return state ? state->context : nullptr;
}

void DestroyMessageWindow(HWND hwnd)
{
    if (hwnd == nullptr || !IsWindow(hwnd))
        return;
    WindowState* state = StateOf(hwnd);
    // Messages still queued find no state and are dropped.
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
    delete state;
}

int PumpMessages(int timeoutMs)
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        const DWORD wait = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    // A bound, so that a handler posting to its own thread cannot keep this
    // call going for ever.
    constexpr int kMostPerCall = 1000;
    int dispatched = 0;
    while (dispatched < kMostPerCall && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        ++dispatched;
    }
    return dispatched;
}

bool IsWindowOwnerThread(HWND hwnd)
{
    return hwnd != nullptr && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId();
}

} // namespace vek
