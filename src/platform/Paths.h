// Where files and devices are: the data folder and the port-device map.
#pragma once

#include <string>

namespace vek {

// Folder of "Trv3.mdm", with a trailing '/'.
std::string DataFolder();
// Device path of COMn, or "" when the port has no device.
std::string PortDevicePath(int port);

} // namespace vek
