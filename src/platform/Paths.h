// Where files and devices are: the data folder and the port-device map.
#pragma once

#include <string>

namespace vek {

// Folder of "Trv3.mdm", with a trailing separator.
std::string DataFolder();
// Device path of COMn, or "" when the port has no device.
std::string PortDevicePath(int port);
// Null or "" restores the default folder.
void SetDataFolder(const char* folder);
// Null or "" removes the mapping; false for a port number below 1.
bool SetPortDevice(int port, const char* devicePath);

// Of the platform: the folder of the library's own module (on Linux the
// running executable's), with a trailing separator; the device of COMn when
// nothing maps it; the separator of paths.
std::string ModuleFolder();
std::string DefaultPortDevice(int port);
char PathSeparator();

} // namespace vek
