#include "platform/Paths.h"

#include <cstdlib>
#include <map>
#include <mutex>

namespace vek {
namespace {

std::mutex g_pathMutex;
std::string g_dataFolder; // empty: the module's folder
std::map<int, std::string> g_portDevices;

bool EndsWithSeparator(const std::string& path) { return path.back() == '/' || path.back() == PathSeparator(); }

} // namespace

std::string DataFolder()
{
    std::lock_guard lock(g_pathMutex);
    if (g_dataFolder.empty())
        return ModuleFolder();
    return EndsWithSeparator(g_dataFolder) ? g_dataFolder : g_dataFolder + PathSeparator();
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
    return DefaultPortDevice(port);
}

void SetDataFolder(const char* folder)
{
    std::lock_guard lock(g_pathMutex);
    g_dataFolder = folder ? folder : "";
}

bool SetPortDevice(int port, const char* devicePath)
{
    if (port < 1)
        return false;
    std::lock_guard lock(g_pathMutex);
    if (devicePath == nullptr || *devicePath == '\0')
        g_portDevices.erase(port);
    else
        g_portDevices[port] = devicePath;
    return true;
}

} // namespace vek
