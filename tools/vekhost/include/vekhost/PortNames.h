// The COM numbers the library maps to devices, as vekhost ports shows them.
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

} // namespace vekhost
