// The serial ports of this machine and the COM numbers the library maps to
// them.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vekhost {

struct ComMapping {
    int port;
    std::string device;
};

// VEK_COM<n>=<device> entries of an environment ("NAME=value" strings).
std::vector<ComMapping> ComMappingsFromEnvironment(std::span<const std::string> environment);
// COMn of a device by the library's default map (/dev/ttyS<n-1>), else 0.
int DefaultComPort(std::string_view device);
// The devices under /dev that look like serial ports, sorted by name.
std::vector<std::string> SerialDevices();

enum class PortState { Free, Busy, NoAccess, NoHardware, Missing, Error };

struct PortCheck {
    PortState state;
    std::string detail;
};

// Opens the device without waiting and without taking it as the
// controlling terminal, tries the exclusive lock the library takes, closes.
PortCheck CheckPort(const std::string& device);
std::string_view PortStateName(PortState state);

} // namespace vekhost
