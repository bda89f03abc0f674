#include "Line.h"

#include "PortSpeed.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace panelsim {
namespace {

constexpr size_t kMostQueued = 65536;

bool MakeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

Line::~Line() { Close(); }

bool Line::OpenPty(std::string& error)
{
    termios settings{};
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD | CSTOPB;
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    char name[256] = {};
    // Raw from the start: a cooked slave would echo the panel's bytes back.
    if (::openpty(&m_fd, &m_slave, name, &settings, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (!MakeNonBlocking(m_fd)) {
        error = std::string("fcntl: ") + std::strerror(errno);
        Close();
        return false;
    }
    m_ownsFd = true;
    m_slavePath = name;
    return true;
}

bool Line::Adopt(int fd, std::string& error)
{
    if (fd < 0 || !MakeNonBlocking(fd)) {
        error = "descriptor " + std::to_string(fd) + " cannot be served";
        return false;
    }
    m_fd = fd;
    m_ownsFd = false;
    return true;
}

void Line::Close()
{
    if (m_ownsFd && m_fd >= 0)
        ::close(m_fd);
    if (m_slave >= 0)
        ::close(m_slave);
    m_fd = -1;
    m_slave = -1;
    m_ownsFd = false;
}

int Line::Speed() const
{
    // The slave's settings are the host's: it opens the same device.
    const int speed = ReadPortSpeed(m_slave >= 0 ? m_slave : m_fd);
    return speed > 0 ? speed : m_fallbackSpeed;
}

Clock::duration Line::ByteTime() const
{
    const int speed = Speed();
    return std::chrono::microseconds(11'000'000LL / (speed > 0 ? speed : 9600));
}

bool Line::ReadWaiting(Time now)
{
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got == 0)
            return false;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        const Clock::duration byteTime = m_paced ? ByteTime() : Clock::duration::zero();
        for (ssize_t i = 0; i < got; ++i) {
            m_rxFreeAt = std::max(m_rxFreeAt, now) + byteTime;
            m_rx.emplace_back(m_paced ? m_rxFreeAt : now, buffer[i]);
        }
    }
}

std::vector<uint8_t> Line::TakeReceived(Time now)
{
    std::vector<uint8_t> bytes;
    while (!m_rx.empty() && m_rx.front().first <= now) {
        bytes.push_back(m_rx.front().second);
        m_rx.pop_front();
    }
    m_trace.Bytes("RX", bytes);
    return bytes;
}

void Line::Send(std::span<const uint8_t> bytes, Time now)
{
    if (m_tx.empty())
        m_txFreeAt = std::max(m_txFreeAt, now);
    m_tx.insert(m_tx.end(), bytes.begin(), bytes.end());
    // A host that never reads must not make the simulator grow without end.
    while (m_tx.size() > kMostQueued)
        m_tx.pop_front();
}

bool Line::WriteOne(uint8_t byte)
{
    const ssize_t put = ::write(m_fd, &byte, 1);
    m_blocked = put != 1;
    return put == 1;
}

std::vector<uint8_t> Line::FlushPaced(Time now)
{
    std::vector<uint8_t> sent;
    while (!m_tx.empty() && m_txFreeAt <= now && WriteOne(m_tx.front())) {
        sent.push_back(m_tx.front());
        m_tx.pop_front();
        m_txFreeAt += ByteTime();
    }
    return sent;
}

std::vector<uint8_t> Line::FlushAll()
{
    std::vector<uint8_t> pending(m_tx.begin(), m_tx.end());
    const ssize_t put = pending.empty() ? 0 : ::write(m_fd, pending.data(), pending.size());
    const size_t written = put > 0 ? static_cast<size_t>(put) : 0;
    m_blocked = written < pending.size();
    m_tx.erase(m_tx.begin(), m_tx.begin() + static_cast<std::ptrdiff_t>(written));
    pending.resize(written);
    return pending;
}

void Line::Flush(Time now)
{
    const std::vector<uint8_t> sent = m_paced ? FlushPaced(now) : FlushAll();
    m_trace.Bytes("TX", sent);
}

std::optional<Time> Line::NextDeadline() const
{
    std::optional<Time> next;
    if (!m_rx.empty())
        next = m_rx.front().first;
    if (!m_tx.empty() && m_paced && !m_blocked)
        next = Earliest(next, m_txFreeAt);
    return next;
}

void Line::DiscardUnread()
{
    if (m_slave >= 0)
        ::tcflush(m_slave, TCIFLUSH);
}

} // namespace panelsim
