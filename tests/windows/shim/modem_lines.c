/* LD_PRELOAD shim for running Windows programs under Wine against a
 * pseudo-terminal: a pseudo-terminal has no modem lines, so Wine's
 * GetCommModemStatus fails and a pending WaitCommEvent is cancelled. Where
 * the real ioctl refuses a modem-line request on a pseudo-terminal, this
 * answers as a port whose modem holds DSR, CTS and carrier detect. Every
 * other request, and every other descriptor, goes to the real ioctl.
 * Debian's i386 Wine calls __ioctl_time64, so that is answered as well. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

typedef int (*IoctlFn)(int fd, unsigned long request, void* arg);

/* Unix 98 pseudo-terminal slaves have majors 136 to 143. */
static int IsPseudoTerminal(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

/* 1 when the request was answered here. */
static int AnswerModemRequest(unsigned long request, void* arg)
{
    switch (request) {
    case TIOCMGET: *(int*)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR; return 1;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC: return 1;
    case TIOCGICOUNT: memset(arg, 0, sizeof(struct serial_icounter_struct)); return 1;
    case TIOCSERGETLSR: *(unsigned int*)arg = TIOCSER_TEMT; return 1;
    default: return 0;
    }
}

static IoctlFn RealIoctl(const char* name)
{
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == NULL)
        symbol = dlsym(RTLD_NEXT, "ioctl");
    IoctlFn real;
    memcpy(&real, &symbol, sizeof real); /* object to function pointer, as dlsym means it */
    return real;
}

static int Forward(const char* name, int fd, unsigned long request, void* arg)
{
    const IoctlFn real = RealIoctl(name);
    const int result = real(fd, request, arg);
    if (result == 0 || (errno != ENOTTY && errno != EINVAL) || arg == NULL)
        return result;
    const int savedErrno = errno;
    if (IsPseudoTerminal(fd) && AnswerModemRequest(request, arg))
        return 0;
    errno = savedErrno;
    return result;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Forward("ioctl", fd, request, arg);
}

int __ioctl_time64(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    return Forward("__ioctl_time64", fd, request, arg);
}
