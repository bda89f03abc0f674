// Message boxes and key states go to the system unless a hook replaces them.
#include "platform/KeyState.h"
#include "platform/MessageBox.h"
#include "resources/Strings.h"

#include <atomic>

namespace vek {
namespace {

std::atomic<MessageBoxHook> g_messageBoxHook{nullptr};
std::atomic<KeyStateHook> g_keyStateHook{nullptr};

} // namespace

void ShowMessageBox(const char* caption, const char* text)
{
    caption = caption ? caption : "";
    text = text ? text : "";
    if (const MessageBoxHook hook = g_messageBoxHook.load())
        hook(caption, text);
    else
        SystemMessageBox(caption, text);
}

void ShowAppMessage(const char* text) { ShowMessageBox(kAppTitle, text); }

void SetMessageBoxHook(MessageBoxHook hook) { g_messageBoxHook.store(hook); }

short GetAsyncKeyState(int virtualKey)
{
    const KeyStateHook hook = g_keyStateHook.load();
    return hook ? hook(virtualKey) : SystemKeyState(virtualKey);
}

void SetKeyStateHook(KeyStateHook hook) { g_keyStateHook.store(hook); }

} // namespace vek
