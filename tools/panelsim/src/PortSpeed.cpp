// Kept apart from <termios.h>: the kernel's termios2 header clashes with it.
#include "PortSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace panelsim {

int ReadPortSpeed(int fd)
{
    termios2 settings{};
    if (fd < 0 || ::ioctl(fd, TCGETS2, &settings) != 0)
        return 0;
    return static_cast<int>(settings.c_ospeed);
}

} // namespace panelsim
