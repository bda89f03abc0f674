// Message boxes and key states stand in as hooks the host may replace.
#include "platform/KeyState.h"
#include "platform/MessageBox.h"
#include "resources/Strings.h"
#include "vek_host.h"

#include <atomic>
#include <cstdio>

namespace vek {
namespace {

using MessageBoxHook = void (*)(const char*, const char*);
using KeyStateHook = short (*)(int);

void DefaultMessageBox(const char* caption, const char* text) { std::fprintf(stderr, "%s: %s\n", caption, text); }

short NoKeyDown(int) { return 0; }

std::atomic<MessageBoxHook> g_messageBoxHook{&DefaultMessageBox};
std::atomic<KeyStateHook> g_keyStateHook{&NoKeyDown};

} // namespace

void ShowMessageBox(const char* caption, const char* text)
{
    g_messageBoxHook.load()(caption ? caption : "", text ? text : "");
}

void ShowAppMessage(const char* text) { ShowMessageBox(kAppTitle, text); }

short GetAsyncKeyState(int virtualKey) { return g_keyStateHook.load()(virtualKey); }

} // namespace vek

extern "C" {

void VekSetMessageBoxHook(void (*hook)(const char* caption, const char* text))
{
    vek::g_messageBoxHook.store(hook ? hook : &vek::DefaultMessageBox);
}

void VekSetKeyStateHook(short (*hook)(int virtualKey)) { vek::g_keyStateHook.store(hook ? hook : &vek::NoKeyDown); }

} // extern "C"
