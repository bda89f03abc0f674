// The library finds VEKOnlineReqProcess in Vek.dll; the tests' stand-in for
// it is loaded at start and hands every call to the test support.
#include "support/LinkTestSupport.h"

#include <windows.h>

namespace {

using OnlineHandler = int (*)(void*, int, int);
using SetHandlerFn = void (*)(OnlineHandler);

struct LoadHostLibrary {
    LoadHostLibrary()
    {
        HMODULE stub = LoadLibraryA("Vek.dll");
        if (stub == nullptr)
            return;
        auto set = reinterpret_cast<SetHandlerFn>(reinterpret_cast<void*>(GetProcAddress(stub, "VekStubSetHandler")));
        if (set != nullptr)
            set(&vek::test::RecordOnlineReqProcess);
    }
};

const LoadHostLibrary g_loadHostLibrary;

} // namespace
