#include "serial/DeviceFactory.h"

#include "serial/ScriptedDevice.h"

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
    // Until real ports are wired in, a control talks to an in-memory device.
    return std::make_unique<ScriptedDevice>();
}

void SetDeviceFactory(DeviceFactory factory)
{
    std::lock_guard lock(g_factoryMutex);
    g_factory = std::move(factory);
}

} // namespace vek
