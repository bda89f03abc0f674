// FreeLibrary would run the exit guard under the loader lock, where joining a
// thread deadlocks (a thread's exit needs that lock): so the DLL stays loaded
// once it runs. At process exit the system has killed the threads before the
// DLL hears of it: joining them or taking their locks could hang for ever.
#include "platform/ModuleLifetime.h"

#include <windows.h>

#include <atomic>

namespace {

std::atomic<bool> g_processEnding{false};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    // A non-null reserved on detach means the process is ending, not FreeLibrary.
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr)
        g_processEnding = true;
    return TRUE;
}

namespace vek {

void HoldModuleWhileRunning()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&HoldModuleWhileRunning), &module);
}

bool ProcessIsEnding() { return g_processEnding; }

} // namespace vek
