// The host's end of a simulator's pseudo-terminal, driven with raw bytes the
// way the library drives its port.
#pragma once

#include "panelsim/Simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <string_view>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace panelsim::test {

using Bytes = std::vector<uint8_t>;

// Bounds for waits on a loaded machine; a passing test never waits them out.
inline constexpr std::chrono::milliseconds kPatience{5000};

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline std::string HexText(const Bytes& bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const uint8_t b : bytes) {
        if (!text.empty())
            text += ' ';
        text += kHex[b >> 4];
        text += kHex[b & 0xF];
    }
    return text;
}

inline bool Contains(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

class HostLine {
public:
    explicit HostLine(const std::string& path, speed_t speed = B9600)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios settings{};
        if (m_fd < 0 || ::tcgetattr(m_fd, &settings) != 0)
            return;
        ::cfmakeraw(&settings);
        settings.c_cflag |= CLOCAL | CREAD | CSTOPB;
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
        ::tcsetattr(m_fd, TCSANOW, &settings);
    }
    ~HostLine()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HostLine(const HostLine&) = delete;
    HostLine& operator=(const HostLine&) = delete;

    bool Ok() const { return m_fd >= 0; }

    void Send(const Bytes& bytes) const { ASSERT_EQ(::write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    void Send(std::string_view text) const { Send(ToBytes(text)); }

    // Everything received until the condition holds on it, or the bound.
    Bytes ReadUntil(const std::function<bool(const Bytes&)>& done, std::chrono::milliseconds limit = kPatience)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done(m_received) && std::chrono::steady_clock::now() < end) {
            pollfd fd{m_fd, POLLIN, 0};
            if (::poll(&fd, 1, 20) <= 0)
                continue;
            uint8_t buffer[512];
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got > 0)
                m_received.insert(m_received.end(), buffer, buffer + got);
        }
        return TakeAll();
    }
    Bytes ReadContaining(const Bytes& wanted)
    {
        return ReadUntil([&](const Bytes& got) { return Contains(got, wanted); });
    }
    Bytes ReadContaining(std::string_view text) { return ReadContaining(ToBytes(text)); }
    Bytes ReadCount(size_t count)
    {
        return ReadUntil([count](const Bytes& got) { return got.size() >= count; });
    }
    // Whatever arrives within a short spell, for "nothing came" checks.
    Bytes ReadFor(std::chrono::milliseconds spell)
    {
        return ReadUntil([](const Bytes&) { return false; }, spell);
    }

private:
    Bytes TakeAll()
    {
        Bytes all;
        all.swap(m_received);
        return all;
    }

    int m_fd = -1;
    Bytes m_received;
};

// Short timings so that whole calls take well under a second.
inline Options QuickOptions(bool pcLink)
{
    Options options;
    options.pcLink = pcLink;
    options.modem.dialDelayMs = 50;
    options.modem.ringIntervalMs = 100;
    options.modem.answerDelayMs = 100;
    options.panel.identDelayMs = pcLink ? 0 : 100;
    options.panel.replyDelayMs = 0;
    options.panel.identRepeatMs = 60000;
    options.panel.pcLinkPeriodMs = 60000;
    options.panel.callbackDelayMs = 300;
    return options;
}

// A simulator on its pseudo-terminal, with the host's end opened.
class Rig {
public:
    explicit Rig(const Options& options, speed_t speed = B9600) : simulator(options)
    {
        started = simulator.Start();
        if (started)
            host = std::make_unique<HostLine>(simulator.SlavePath(), speed);
    }
    bool Ok() const { return started && host && host->Ok(); }
    Bytes Exchange(const Bytes& request, size_t replyLength)
    {
        host->Send(request);
        return host->ReadCount(replyLength);
    }
    std::string Command(std::string_view line, std::string_view awaited)
    {
        host->Send(line);
        const Bytes got = host->ReadContaining(awaited);
        return std::string(got.begin(), got.end());
    }

    Simulator simulator;
    bool started = false;
    std::unique_ptr<HostLine> host;
};

} // namespace panelsim::test
