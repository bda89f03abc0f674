// VEKOnlineReqProcess comes from the host library Vek.dll, looked up at call
// time: the host may load it late, or not at all.
#include "platform/HostLibrary.h"

#include <windows.h>

namespace vek {

namespace {

using OnlineReqProcessFn = int(__cdecl*)(void* record, int what, int arg);

} // namespace

bool CallOnlineReqProcess(void* record, int what, int arg)
{
    HMODULE host = GetModuleHandleA("Vek.dll");
    if (host == nullptr)
        return false;
    FARPROC symbol = GetProcAddress(host, "VEKOnlineReqProcess");
    if (symbol == nullptr)
        return false;
    reinterpret_cast<OnlineReqProcessFn>(reinterpret_cast<void*>(symbol))(record, what, arg);
    return true;
}

} // namespace vek
