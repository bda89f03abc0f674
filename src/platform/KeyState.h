// GetAsyncKeyState: the system's own, unless a hook answers it.
#pragma once

namespace vek {

using KeyStateHook = short (*)(int virtualKey);

short GetAsyncKeyState(int virtualKey);
// Null gives the question back to the system.
void SetKeyStateHook(KeyStateHook hook);
// The platform's own answer: the keyboard on Windows, no key down elsewhere.
short SystemKeyState(int virtualKey);

} // namespace vek
