#include "platform/Paths.h"

#include "vek_host.h"

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>

namespace vek {
namespace {

std::mutex g_pathMutex;
std::string g_dataFolder; // empty: the executable's folder
std::map<int, std::string> g_portDevices;

std::string ExecutableFolder()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return "./";
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "./" : exe.substr(0, slash + 1);
}

} // namespace

std::string DataFolder()
{
    std::lock_guard lock(g_pathMutex);
    if (g_dataFolder.empty())
        return ExecutableFolder();
    return g_dataFolder.back() == '/' ? g_dataFolder : g_dataFolder + "/";
}

std::string PortDevicePath(int port)
{
    if (port < 1)
        return {};
    const std::string variable = "VEK_COM" + std::to_string(port);
    if (const char* env = std::getenv(variable.c_str()); env != nullptr && *env != '\0')
        return env;
    std::lock_guard lock(g_pathMutex);
    if (const auto it = g_portDevices.find(port); it != g_portDevices.end())
        return it->second;
    return "/dev/ttyS" + std::to_string(port - 1);
}

} // namespace vek

extern "C" {

int VekSetPortDevice(int port, const char* devicePath)
{
    if (port < 1)
        return 0;
    std::lock_guard lock(vek::g_pathMutex);
    if (devicePath == nullptr || *devicePath == '\0')
        vek::g_portDevices.erase(port);
    else
        vek::g_portDevices[port] = devicePath;
    return 1;
}

void VekSetDataFolder(const char* folder)
{
    std::lock_guard lock(vek::g_pathMutex);
    vek::g_dataFolder = folder ? folder : "";
}

} // extern "C"
