// The serial ports of this machine and the COM numbers the library maps to
// them.
#pragma once

#include <optional>
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

enum class PortState { Free, Busy, NoAccess, NoHardware, Missing, NotATerminal, Error };

struct PortCheck {
    PortState state;
    std::string detail;
};

// Opens the device as the library does (without waiting, without taking it
// as the controlling terminal), tries the exclusive lock the library takes
// and the terminal settings it needs, closes. The detail names the reason:
// the system's error text, what the path is when it is no terminal, the
// process holding the lock.
PortCheck CheckPort(const std::string& device);
// The process that holds a lock on the file, from a /proc/locks text.
std::optional<long> LockHolder(std::string_view procLocks, unsigned long major, unsigned long minor,
                               unsigned long inode);
// The device the library opens for COMn: --device, else VEK_COM<n>, else
// /dev/ttyS<n-1>.
std::string DeviceForPort(int port, const std::string& given);
std::string_view PortStateName(PortState state);

} // namespace vekhost
