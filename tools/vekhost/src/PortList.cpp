#include "vekhost/PortList.h"

#include "vekhost/Numbers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
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

PortCheck CheckPort(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return {PortState::Missing, "no such device"};
        if (error == EACCES || error == EPERM)
            return {PortState::NoAccess, "permission denied (try the dialout group)"};
        if (error == EBUSY)
            return {PortState::Busy, "in use"};
        return {PortState::Error, std::strerror(error)};
    }
    PortCheck check{PortState::Free, "can be opened now"};
    if (HasNoUart(fd, device))
        check = {PortState::NoHardware, "no UART behind it"};
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        check = {PortState::Busy, "locked by another program"};
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
    case PortState::Error: return "error";
    }
    return "error";
}

} // namespace vekhost
