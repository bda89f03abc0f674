// What the live status line shows: link efficiency followed from the
// notifications, line speed, bytes each way, retries and the transfer in
// progress.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vekhost {

// Follows the library's counter from outside: 91 lowers it, 92 raises it,
// 32 (a new call) and 97 (a refusal) set it back to 10.
class Efficiency {
public:
    void Apply(int code);
    int Value() const { return m_value; }
    int Retries() const { return m_retries; }

private:
    int m_value = 10;
    int m_retries = 0;
};

struct LinkStatus {
    int efficiency = 10;
    int lineSpeed = 0;
    uint64_t sent = 0;
    uint64_t received = 0;
    int retries = 0;
    std::string activity; // e.g. a progress text; empty when idle
};

std::string FormatStatus(const LinkStatus& status);
// "reading 0x0100  128/1024 B [#.......]"
std::string FormatProgress(std::string_view what, uint32_t done, uint32_t total, int barWidth = 10);

} // namespace vekhost
