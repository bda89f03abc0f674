// The system's own message boxes and keyboard.
#include "platform/KeyState.h"
#include "platform/MessageBox.h"

#include <windows.h>

namespace vek {

void SystemMessageBox(const char* caption, const char* text)
{
    // No owner: the box may come from a library thread, and an owner on
    // another thread would tie the two threads' input together.
    MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONEXCLAMATION);
}

short SystemKeyState(int virtualKey) { return ::GetAsyncKeyState(virtualKey); }

} // namespace vek
