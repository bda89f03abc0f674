#include "serial/DeviceFactory.h"

#include <mutex>

namespace vek {
namespace {

std::mutex g_factoryMutex;
DeviceFactory g_factory;

} // namespace

std::unique_ptr<SerialDevice> MakeSerialDevice()
{
    std::lock_guard lock(g_factoryMutex);
    if (g_factory)
        return g_factory();
    return MakeSystemDevice();
}

void SetDeviceFactory(DeviceFactory factory)
{
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

} // namespace vek
