// Which serial device the communications control is created over.
#pragma once

#include "serial/SerialDevice.h"

#include <functional>
#include <memory>

namespace vek {

using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

// A new device for a control; null means the device layer is unavailable.
std::unique_ptr<SerialDevice> MakeSerialDevice();
// The platform's device for real ports: termios on Linux, the Win32
// communications API on Windows.
std::unique_ptr<SerialDevice> MakeSystemDevice();
// Replaces the factory (tests); an empty function restores the default.
void SetDeviceFactory(DeviceFactory factory);

} // namespace vek
