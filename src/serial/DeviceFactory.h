// Which serial device the communications control is created over.
#pragma once

#include "serial/SerialDevice.h"

#include <functional>
#include <memory>

namespace vek {

using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

// A new device for a control; null means the device layer is unavailable.
std::unique_ptr<SerialDevice> MakeSerialDevice();
// Replaces the factory (tests); an empty function restores the default.
void SetDeviceFactory(DeviceFactory factory);

} // namespace vek
