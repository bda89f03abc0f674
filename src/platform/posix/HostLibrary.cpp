#include "platform/HostLibrary.h"

#include "vek_host.h"

#include <dlfcn.h>

namespace vek {

bool CallOnlineReqProcess(void* record, int what, int arg)
{
    void* symbol = dlsym(RTLD_DEFAULT, "VEKOnlineReqProcess");
    if (symbol == nullptr)
        return false;
    reinterpret_cast<VekOnlineReqProcessFn>(symbol)(record, what, arg);
    return true;
}

} // namespace vek
