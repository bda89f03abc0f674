// Modal message boxes: the system's own, unless a hook (tests, hosts without
// a display) takes them.
#pragma once

namespace vek {

using MessageBoxHook = void (*)(const char* caption, const char* text);

// Shows an exclamation message with an OK button.
void ShowMessageBox(const char* caption, const char* text);
// Same, with the library's application title as caption.
void ShowAppMessage(const char* text);
// Null gives the boxes back to the system.
void SetMessageBoxHook(MessageBoxHook hook);
// The platform's own box: MessageBoxA on Windows, a line on stderr elsewhere.
void SystemMessageBox(const char* caption, const char* text);

} // namespace vek
