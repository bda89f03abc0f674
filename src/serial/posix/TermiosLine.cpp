#include "serial/TermiosLine.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vek {
namespace {

// A UART reaches most speeds through a divisor; a driver that reports a
// speed this close to the one asked for runs a working line.
constexpr int32_t kSpeedTolerancePercent = 2;

// Standard speeds keep their own code, so that other tools see them as such.
unsigned StandardCode(int32_t speed)
{
    switch (speed) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return BOTHER;
    }
}

tcflag_t SizeBits(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

void MakeRaw(termios2& t, const RawLine& line)
{
    // A break would otherwise arrive as an extra 0x00; nothing else is kept.
    t.c_iflag = IGNBRK;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= SizeBits(line.dataBits) | CREAD | CLOCAL | HUPCL;
    if (line.parity != 'N')
        t.c_cflag |= PARENB | (line.parity == 'O' ? PARODD : 0);
    if (line.stopBits == 2)
        t.c_cflag |= CSTOPB;
    t.c_cflag |= StandardCode(line.speed); // the input speed follows the output speed
    t.c_ospeed = static_cast<speed_t>(line.speed);
    t.c_ispeed = static_cast<speed_t>(line.speed);
    std::memset(t.c_cc, 0, sizeof t.c_cc);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

bool CloseEnough(int32_t wanted, int32_t got)
{
    return std::abs(int64_t{got} - wanted) * 100 <= int64_t{wanted} * kSpeedTolerancePercent;
}

} // namespace

bool ApplyRawLine(int fd, const RawLine& line, std::string& error)
{
    if (line.speed <= 0) {
        error = "speed not supported: " + std::to_string(line.speed);
        return false;
    }
    termios2 before{};
    if (::ioctl(fd, TCGETS2, &before) != 0) {
        error = std::string("TCGETS2: ") + std::strerror(errno);
        return false;
    }
    termios2 wanted = before;
    MakeRaw(wanted, line);
    if (::ioctl(fd, TCSETS2, &wanted) != 0) {
        error = std::string("TCSETS2: ") + std::strerror(errno);
        return false;
    }
    // The driver may take part of a change and still report success.
    termios2 back{};
    if (::ioctl(fd, TCGETS2, &back) != 0) {
        error = std::string("TCGETS2: ") + std::strerror(errno);
        return false;
    }
    const bool speedTaken = CloseEnough(line.speed, static_cast<int32_t>(back.c_ospeed));
    const bool stopTaken = ((back.c_cflag & CSTOPB) != 0) == (line.stopBits == 2);
    if (speedTaken && stopTaken)
        return true;
    error = speedTaken ? "device refused the stop bits" : "device refused speed " + std::to_string(line.speed);
    (void)::ioctl(fd, TCSETS2, &before);
    return false;
}

int32_t ReadLineSpeed(int fd)
{
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return static_cast<int32_t>(t.c_ospeed);
}

} // namespace vek
