// The simulator's end of the serial line: a pseudo-terminal master (or a
// descriptor it was given), with optional pacing of both directions at the
// speed the host has set on the port.
#pragma once

#include "Trace.h"
#include "panelsim/Time.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace panelsim {

class Line {
public:
    explicit Line(Trace& trace) : m_trace(trace) {}
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool OpenPty(std::string& error);
    bool Adopt(int fd, std::string& error);
    void Close();

    int Fd() const { return m_fd; }
    const std::string& SlavePath() const { return m_slavePath; }

    // The port's speed as the host set it; the fallback when the descriptor
    // has none (a socket, a pipe).
    void SetFallbackSpeed(int speed) { m_fallbackSpeed = speed; }
    int Speed() const;
    // 11 bit times per byte at 8N2.
    void SetPaced(bool paced) { m_paced = paced; }

    // Reads what is waiting; false once the other side is gone for good.
    bool ReadWaiting(Time now);
    std::vector<uint8_t> TakeReceived(Time now);

    // Queues; Flush writes what is due.
    void Send(std::span<const uint8_t> bytes, Time now);
    void Flush(Time now);
    bool WantsWrite() const { return m_blocked && !m_tx.empty(); }
    std::optional<Time> NextDeadline() const;

    // Drops what the host has not read yet, so it never finds a backlog.
    void DiscardUnread();

private:
    Clock::duration ByteTime() const;
    bool WriteOne(uint8_t byte);
    std::vector<uint8_t> FlushPaced(Time now);
    std::vector<uint8_t> FlushAll();

    Trace& m_trace;
    int m_fd = -1;
    int m_slave = -1;
    bool m_ownsFd = false;
    std::string m_slavePath;
    int m_fallbackSpeed = 9600;
    bool m_paced = false;
    std::deque<std::pair<Time, uint8_t>> m_rx;
    Time m_rxFreeAt{};
    std::deque<uint8_t> m_tx;
    Time m_txFreeAt{};
    bool m_blocked = false;
};

} // namespace panelsim
