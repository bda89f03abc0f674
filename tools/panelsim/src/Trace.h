// What the simulator saw and answered, one line per event in the same form
// as the host library's trace: "%10llu %s" with a millisecond clock.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

namespace panelsim {

class Trace {
public:
    Trace() = default;
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // "-" writes to stderr; an empty path keeps the trace off.
    bool Open(const std::string& path);
    bool Enabled() const { return m_file != nullptr; }

    void Line(std::string_view text);
    // "RX 0A 1B ..." or "TX ...": upper-case hex, one space between bytes.
    void Bytes(std::string_view direction, std::span<const uint8_t> bytes);

private:
    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    bool m_ownsFile = false;
};

std::string HexBytes(std::span<const uint8_t> bytes);

} // namespace panelsim
