#include "vekhost/PortList.h"

#include "vekhost/Numbers.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sstream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace vekhost {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kComVariable = "VEK_COM";
constexpr std::string_view kDefaultStem = "/dev/ttyS";

bool IsSerialName(std::string_view name)
{
    for (const std::string_view stem : {"ttyS", "ttyUSB", "ttyACM"})
        if (name.starts_with(stem) && name.size() > stem.size() && ParseUnsigned(name.substr(stem.size())).has_value())
            return true;
    return false;
}

// A ttyS device without a UART behind it opens fine but reports type 0.
bool HasNoUart(int fd, const std::string& device)
{
    if (!device.starts_with(kDefaultStem))
        return false;
    serial_struct info{};
    return ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type == PORT_UNKNOWN;
}

} // namespace

std::vector<ComMapping> ComMappingsFromEnvironment(std::span<const std::string> environment)
{
    std::vector<ComMapping> mappings;
    for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos || !entry.starts_with(kComVariable))
            continue;
        const std::string_view number =
            std::string_view(entry).substr(kComVariable.size(), equals - kComVariable.size());
        const auto port = ParseUnsigned(number);
        if (!port || *port < 1 || *port > 255 || number.starts_with("0"))
            continue;
        if (equals + 1 == entry.size())
            continue;
        mappings.push_back({static_cast<int>(*port), entry.substr(equals + 1)});
    }
    std::sort(mappings.begin(), mappings.end(),
              [](const ComMapping& a, const ComMapping& b) { return a.port < b.port; });
    return mappings;
}

int DefaultComPort(std::string_view device)
{
    if (!device.starts_with(kDefaultStem))
        return 0;
    const std::string_view digits = device.substr(kDefaultStem.size());
    const auto index = ParseUnsigned(digits);
    if (!index || *index > 254 || digits.starts_with("0x"))
        return 0;
    return static_cast<int>(*index) + 1;
}

std::vector<std::string> SerialDevices()
{
    std::vector<std::string> devices;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/dev", error))
        if (IsSerialName(entry.path().filename().string()))
            devices.push_back(entry.path().string());
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-id", error))
        devices.push_back(entry.path().string());
    // ttyS2 before ttyS10: shorter names first within a stem.
    std::sort(devices.begin(), devices.end(), [](const std::string& a, const std::string& b) {
        const auto stem = [](const std::string& s) { return s.substr(0, s.find_first_of("0123456789")); };
        if (stem(a) != stem(b))
            return stem(a) < stem(b);
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return devices;
}

std::optional<long> LockHolder(std::string_view procLocks, unsigned long major, unsigned long minor,
                               unsigned long inode)
{
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; major and minor in hex.
    std::istringstream lines{std::string(procLocks)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        if (!(fields >> number >> kind))
            continue;
        if (kind == "->")
            fields >> kind; // a waiting lock: "1: -> FLOCK ..."
        if (!(fields >> mode >> access >> pid >> where))
            continue;
        unsigned long ma = 0, mi = 0, ino = 0;
        if (std::sscanf(where.c_str(), "%lx:%lx:%lu", &ma, &mi, &ino) != 3)
            continue;
        if (ma == major && mi == minor && ino == inode)
            return std::strtol(pid.c_str(), nullptr, 10);
    }
    return std::nullopt;
}

std::string DeviceForPort(int port, const std::string& given)
{
    if (!given.empty())
        return given;
    const std::string variable = std::string(kComVariable) + std::to_string(port);
    if (const char* env = std::getenv(variable.c_str()); env != nullptr && *env != '\0')
        return env;
    return std::string(kDefaultStem) + std::to_string(port - 1);
}

PortCheck CheckPort(const std::string& device)
{
    struct stat info {};
    if (::stat(device.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return {PortState::NotATerminal, "a directory, not a serial device"};
        if (S_ISREG(info.st_mode))
            return {PortState::NotATerminal, "a regular file, not a serial device"};
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const std::string text = std::strerror(error);
        if (error == ENOENT)
            return {PortState::Missing, text + " (no such device)"};
        if (error == EACCES || error == EPERM)
            return {PortState::NoAccess, text + " (try the dialout group)"};
        if (error == EBUSY)
            return {PortState::Busy, text};
        return {PortState::Error, text};
    }
    PortCheck check{PortState::Free, "can be opened now"};
    termios settings{};
    if (HasNoUart(fd, device)) {
        check = {PortState::NoHardware, "no UART behind it"};
    } else if (::tcgetattr(fd, &settings) != 0) {
        check = {PortState::NotATerminal, std::string("not a terminal device (") + std::strerror(errno) + ")"};
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        check = {PortState::Busy, "locked by another program"};
        std::ifstream locks("/proc/locks");
        std::stringstream text;
        text << locks.rdbuf();
        struct stat held {};
        if (::fstat(fd, &held) == 0)
            if (const auto pid = LockHolder(text.str(), major(held.st_dev), minor(held.st_dev), held.st_ino))
                check.detail = "locked by process " + std::to_string(*pid);
    }
    ::close(fd);
    return check;
}

std::string_view PortStateName(PortState state)
{
    switch (state) {
    case PortState::Free: return "free";
    case PortState::Busy: return "busy";
    case PortState::NoAccess: return "no access";
    case PortState::NoHardware: return "no hardware";
    case PortState::Missing: return "missing";
    case PortState::NotATerminal: return "not a tty";
    case PortState::Error: return "error";
    }
    return "error";
}

} // namespace vekhost
