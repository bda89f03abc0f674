#include "PortCheck.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
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

namespace vek::internal {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kComVariable = "VEK_COM";
constexpr std::string_view kDefaultStem = "/dev/ttyS";
constexpr const char* kDefaultLockFolder = "/var/lock";

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsSerialName(std::string_view name)
{
    for (const std::string_view stem : {"ttyS", "ttyUSB", "ttyACM"})
        if (name.starts_with(stem) && AllDigits(name.substr(stem.size())))
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

bool Alive(long pid)
{
    if (pid <= 0)
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

PortCheck CheckOpen(const std::string& device)
{
    const int fd = ::open(device.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        const std::string text = std::strerror(error);
        if (error == ENOENT)
            return {PortCheck::State::Missing, text + " (no such device)"};
        if (error == EACCES || error == EPERM)
            return {PortCheck::State::NoAccess, text + " (try the dialout group)"};
        if (error == EBUSY)
            return {PortCheck::State::Busy, text};
        return {PortCheck::State::Error, text};
    }
    PortCheck check{PortCheck::State::Free, "can be opened now"};
    termios settings{};
    if (HasNoUart(fd, device)) {
        check = {PortCheck::State::NoHardware, "no UART behind it"};
    } else if (::tcgetattr(fd, &settings) != 0) {
        check = {PortCheck::State::NotATerminal, std::string("not a terminal device (") + std::strerror(errno) + ")"};
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        check = {PortCheck::State::Busy, "locked by another program"};
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

} // namespace

PortCheck CheckDevice(const std::string& device, const std::string& lockFolder)
{
    struct stat info {};
    if (::stat(device.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return {PortCheck::State::NotATerminal, "a directory, not a serial device"};
        if (S_ISREG(info.st_mode))
            return {PortCheck::State::NotATerminal, "a regular file, not a serial device"};
    }
    PortCheck check = CheckOpen(device);
    if (check.state != PortCheck::State::Free)
        return check;
    const std::string lock = LockFolder(lockFolder) + "/" + LockFileName(device);
    if (const auto pid = LockFileHolder(lock))
        return {PortCheck::State::Busy, "locked by process " + std::to_string(*pid) + " (" + lock + ")"};
    return check;
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

std::vector<std::string> SerialDeviceList()
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

std::string DeviceForPort(int port, const std::string& given)
{
    if (!given.empty())
        return given;
    const std::string variable = std::string(kComVariable) + std::to_string(port);
    if (const char* env = std::getenv(variable.c_str()); env != nullptr && *env != '\0')
        return env;
    return std::string(kDefaultStem) + std::to_string(port - 1);
}

std::string LockFileName(const std::string& device)
{
    std::string name = device.starts_with("/dev/") ? device.substr(5) : fs::path(device).filename().string();
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

std::string LockFolder(const std::string& given)
{
    if (!given.empty())
        return given;
    if (const char* env = std::getenv("VEK_LOCK_DIR"); env != nullptr && *env != '\0')
        return env;
    return kDefaultLockFolder;
}

std::optional<long> LockFileHolder(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    char bytes[16] = {};
    in.read(bytes, sizeof bytes - 1);
    const auto got = static_cast<size_t>(in.gcount());
    long pid = 0;
    if (got == 4) {
        int32_t binary = 0;
        std::memcpy(&binary, bytes, 4);
        pid = binary;
    } else {
        pid = std::strtol(bytes, nullptr, 10);
    }
    if (pid == static_cast<long>(::getpid()) || !Alive(pid))
        return std::nullopt;
    return pid;
}

void LockFile::Take(const std::string& device, const std::string& lockFolder)
{
    Release();
    const std::string path = LockFolder(lockFolder) + "/" + LockFileName(device);
    // A stale file (its process is gone) is replaced, as minicom does.
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        return;
    std::fprintf(file, "%10ld\n", static_cast<long>(::getpid()));
    if (std::fclose(file) == 0)
        m_path = path;
}

void LockFile::Release()
{
    if (m_path.empty())
        return;
    // Only our own file: another program may have replaced a stale one.
    if (LockFileHolder(m_path) == std::nullopt) {
        std::ifstream in(m_path);
        long pid = 0;
        in >> pid;
        if (pid == static_cast<long>(::getpid()))
            std::remove(m_path.c_str());
    }
    m_path.clear();
}

} // namespace vek::internal
