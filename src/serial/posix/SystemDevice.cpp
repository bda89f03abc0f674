#include "serial/DeviceFactory.h"
#include "serial/TermiosDevice.h"

namespace vek {

std::unique_ptr<SerialDevice> MakeSystemDevice() { return std::make_unique<TermiosDevice>(); }

} // namespace vek
