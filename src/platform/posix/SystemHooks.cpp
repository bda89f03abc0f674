// Without a display: message boxes are lines on stderr and no key is down.
// The host API's hook setters lead here.
#include "platform/KeyState.h"
#include "platform/MessageBox.h"
#include "vek_host.h"

#include <cstdio>

namespace vek {

void SystemMessageBox(const char* caption, const char* text) { std::fprintf(stderr, "%s: %s\n", caption, text); }

short SystemKeyState(int) { return 0; }

} // namespace vek

extern "C" {

void VekSetMessageBoxHook(void (*hook)(const char* caption, const char* text)) { vek::SetMessageBoxHook(hook); }

void VekSetKeyStateHook(short (*hook)(int virtualKey)) { vek::SetKeyStateHook(hook); }

} // extern "C"
