// Whether a serial device can be had now, said in words: the same open, lock
// and terminal checks the library makes, plus the UUCP lock files other
// programs (minicom, cu) leave in the lock folder.
#pragma once

#include "vek/client.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vek::internal {

// Opens the device as the library does (without waiting, without taking it
// as the controlling terminal), tries the exclusive lock the library takes
// and the terminal settings it needs, closes. A lock file in lockFolder
// that names a live process other than this one makes the device busy.
PortCheck CheckDevice(const std::string& device, const std::string& lockFolder);
// The process that holds a lock on the file, from a /proc/locks text.
std::optional<long> LockHolder(std::string_view procLocks, unsigned long major, unsigned long minor,
                               unsigned long inode);
std::vector<std::string> SerialDeviceList();
std::string DeviceForPort(int port, const std::string& given);

// UUCP lock files: "LCK..ttyS0" for /dev/ttyS0, "LCK..pts_3" for /dev/pts/3.
std::string LockFileName(const std::string& device);
// The lock folder: given, else VEK_LOCK_DIR, else /var/lock.
std::string LockFolder(const std::string& given);
// The live process a lock file names, when it is not this process. Both
// forms are read: ten ASCII digits, or a four-byte binary number.
std::optional<long> LockFileHolder(const std::string& path);

// Holds the lock file while the port is in use; best effort: a folder this
// process may not write is no reason to refuse a call.
class LockFile {
public:
    LockFile() = default;
    ~LockFile() { Release(); }
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    void Take(const std::string& device, const std::string& lockFolder);
    void Release();

private:
    std::string m_path;
};

} // namespace vek::internal
