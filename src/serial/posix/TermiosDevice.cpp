#include "serial/TermiosDevice.h"

#include "platform/Thread.h"
#include "serial/LineSettings.h"
#include "serial/TermiosLine.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vek {
namespace {

constexpr size_t kReadChunk = 4096;
// Devices with modem lines have no notification we can wake from on close,
// so their lines are looked at on this period while the reader waits.
constexpr int kLinePollMs = 10;
// A write that cannot go out at once waits this long for room.
constexpr int kWriteRoomMs = 2000;

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

int OpenExclusive(const std::string& path, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = ErrnoText("open");
        return -1;
    }
    // TIOCEXCL does not stop root; the lock is what keeps two users apart.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error)
            *error = ErrnoText("flock");
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool ProbeDevicePath(const std::string& path, std::string* error)
{
    if (path.empty()) {
        if (error)
            *error = "no device for this port";
        return false;
    }
    const int fd = OpenExclusive(path, error);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

TermiosDevice::~TermiosDevice() { Close(); }

void TermiosDevice::SetError(std::string text)
{
    std::lock_guard lock(m_errorMutex);
    m_lastError = std::move(text);
}

std::string TermiosDevice::LastError() const
{
    std::lock_guard lock(m_errorMutex);
    return m_lastError;
}

bool TermiosDevice::Configure(int fd, const std::string& settings)
{
    const auto parsed = ParseLineSettings(settings);
    if (!parsed) {
        SetError("settings not understood: " + settings);
        return false;
    }
    std::string error;
    if (!ApplyRawLine(fd, {parsed->speed, parsed->dataBits, parsed->parity, parsed->stopBits}, error)) {
        SetError(error);
        return false;
    }
    return true;
}

bool TermiosDevice::Open(const std::string& path, const std::string& settings)
{
    if (IsOpen())
        return true;
    std::string error;
    const int fd = OpenExclusive(path, &error);
    if (fd < 0) {
        SetError(error);
        return false;
    }
    if (!Configure(fd, settings)) {
        ::close(fd);
        return false;
    }
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        SetError(ErrnoText("pipe"));
        ::close(fd);
        return false;
    }
    int lines = 0;
    const bool hasLines = ::ioctl(fd, TIOCMGET, &lines) == 0;
    m_hasModemLines = hasLines;
    m_lastLines = hasLines ? lines : 0;
    m_haveCounts = false;
    if (hasLines) {
        const int dtr = TIOCM_DTR;
        (void)::ioctl(fd, m_dtr ? TIOCMBIS : TIOCMBIC, &dtr);
    }
    ::tcflush(fd, TCIFLUSH);
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];
    m_gone = false;
    m_txPending = false;
    m_fd = fd;
    m_reader = std::thread([this] {
        SetTimeCriticalPriority();
        ReaderLoop();
    });
    return true;
}

void TermiosDevice::Close()
{
    if (m_reader.joinable()) {
        const char stop = 1;
        (void)!::write(m_wakeWrite, &stop, 1);
        m_reader.join();
    }
    const int fd = m_fd.exchange(-1);
    if (fd >= 0)
        ::close(fd); // HUPCL drops DTR; the lock goes with the descriptor
    if (m_wakeRead >= 0)
        ::close(m_wakeRead);
    if (m_wakeWrite >= 0)
        ::close(m_wakeWrite);
    m_wakeRead = m_wakeWrite = -1;
    m_gone = false;
}

bool TermiosDevice::ApplySettings(const std::string& settings)
{
    const int fd = m_fd.load();
    if (fd < 0 || m_gone)
        return false;
    return Configure(fd, settings);
}

bool TermiosDevice::Write(std::span<const uint8_t> bytes)
{
    const int fd = m_fd.load();
    if (fd < 0 || m_gone)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kWriteRoomMs) == 1 && (p.revents & POLLOUT))
                continue;
            SetError("write: no room in the output queue");
            return false;
        }
        SetError(ErrnoText("write"));
        if (errno == EIO)
            MarkGone();
        return false;
    }
    m_txPending = true;
    const char wake = 0;
    (void)!::write(m_wakeWrite, &wake, 1);
    return true;
}

uint32_t TermiosDevice::ModemLines() const
{
    const int fd = m_fd.load();
    if (fd < 0 || m_gone)
        return 0;
    if (!m_hasModemLines)
        return LINE_DSR; // a pseudo-terminal: no lines, DSR taken as held
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) != 0)
        return 0;
    uint32_t out = 0;
    if (lines & TIOCM_CTS)
        out |= LINE_CTS;
    if (lines & TIOCM_DSR)
        out |= LINE_DSR;
    if (lines & TIOCM_CD)
        out |= LINE_CD;
    if (lines & TIOCM_RI)
        out |= LINE_RI;
    return out;
}

void TermiosDevice::DiscardInput()
{
    const int fd = m_fd.load();
    if (fd >= 0 && !m_gone)
        ::tcflush(fd, TCIFLUSH);
}

void TermiosDevice::SetDtr(bool on)
{
    m_dtr = on;
    const int fd = m_fd.load();
    if (fd < 0 || m_gone || !m_hasModemLines)
        return;
    const int dtr = TIOCM_DTR;
    (void)::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &dtr);
}

void TermiosDevice::MarkGone()
{
    if (m_gone.exchange(true))
        return;
    if (m_sink)
        m_sink->OnDeviceGone();
}

void TermiosDevice::CheckLines(int fd)
{
    int lines = 0;
    if (::ioctl(fd, TIOCMGET, &lines) != 0) {
        if (errno == EIO)
            MarkGone();
        return;
    }
    const int changed = lines ^ m_lastLines;
    m_lastLines = lines;
    if (m_sink) {
        if (changed & TIOCM_CTS)
            m_sink->OnLineEvent(COMM_EV_CTS);
        if (changed & TIOCM_DSR)
            m_sink->OnLineEvent(COMM_EV_DSR);
        if (changed & TIOCM_CD)
            m_sink->OnLineEvent(COMM_EV_CD);
        if ((changed & TIOCM_RI) && (lines & TIOCM_RI))
            m_sink->OnLineEvent(COMM_EV_RING);
    }
    serial_icounter_struct ic{};
    if (::ioctl(fd, TIOCGICOUNT, &ic) != 0)
        return;
    const int counts[4] = {ic.brk, ic.frame, ic.overrun + ic.buf_overrun, ic.parity};
    static constexpr int16_t kCodes[4] = {COMM_ER_BREAK, COMM_ER_FRAME, COMM_ER_OVERRUN, COMM_ER_PARITY};
    for (int i = 0; i < 4; ++i) {
        if (m_haveCounts && counts[i] != m_counts[i] && m_sink)
            m_sink->OnLineEvent(kCodes[i]);
        m_counts[i] = counts[i];
    }
    m_haveCounts = true;
}

void TermiosDevice::ReaderLoop()
{
    const int fd = m_fd.load();
    uint8_t buffer[kReadChunk];
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
        const bool watchLines = m_hasModemLines;
        const bool watchDrain = m_txPending;
        const int timeout = (watchLines || watchDrain) ? kLinePollMs : -1;
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN) {
            char wake[64];
            bool stop = false;
            ssize_t n;
            while ((n = ::read(m_wakeRead, wake, sizeof(wake))) > 0)
                for (ssize_t i = 0; i < n; ++i)
                    stop = stop || wake[i] != 0;
            if (stop)
                return;
        }
        bool gone = false;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(fd, buffer, sizeof(buffer));
            if (n > 0) {
                if (m_sink)
                    m_sink->OnReceived({buffer, static_cast<size_t>(n)});
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                gone = true; // end of file or EIO: the device has gone
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            gone = true;
        }
        if (gone) {
            // No more events from here: a hung-up descriptor stays readable
            // for ever and would otherwise flood the dialog.
            MarkGone();
            return;
        }
        if (watchLines)
            CheckLines(fd);
        if (m_gone)
            return;
        if (m_txPending) {
            int queued = 0;
            if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued == 0) {
                m_txPending = false;
                if (m_sink)
                    m_sink->OnSendDrained();
            }
        }
    }
}

} // namespace vek
