// Linux paths: the executable's folder, /dev/ttyS devices, and the host
// API's setters.
#include "platform/Paths.h"
#include "vek_host.h"

#include <unistd.h>

namespace vek {

std::string ModuleFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return "./";
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

std::string DefaultPortDevice(int port) { return "/dev/ttyS" + std::to_string(port - 1); }

char PathSeparator() { return '/'; }

} // namespace vek

extern "C" {

int VekSetPortDevice(int port, const char* devicePath) { return vek::SetPortDevice(port, devicePath) ? 1 : 0; }

void VekSetDataFolder(const char* folder) { vek::SetDataFolder(folder); }

} // extern "C"
