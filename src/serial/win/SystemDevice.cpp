#include "serial/DeviceFactory.h"
#include "serial/Win32CommDevice.h"

namespace vek {

std::unique_ptr<SerialDevice> MakeSystemDevice() { return std::make_unique<Win32CommDevice>(); }

} // namespace vek
