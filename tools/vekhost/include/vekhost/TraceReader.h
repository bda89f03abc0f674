// The library's trace file (VEK_TRACE): one line per step or per burst of
// bytes, "%10llu %s" with milliseconds first. vekhost follows it to count
// the bytes on the line and to show the traffic.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vekhost {

enum class TraceKind { Sent, Received, Step };

struct TraceRecord {
    uint64_t ms = 0;
    TraceKind kind = TraceKind::Step;
    std::string text; // as written, without the time
    std::vector<uint8_t> bytes;
};

std::optional<TraceRecord> ParseTraceLine(std::string_view line);

struct TraceTotals {
    uint64_t sent = 0;
    uint64_t received = 0;
    void Add(const TraceRecord& record);
};

// Reads what was appended since the last poll; a line still being written
// waits for the next poll. A file that does not exist yet is empty.
class TraceFollower {
public:
    explicit TraceFollower(std::string path);
    // Starts after what the file holds now (a trace the user keeps).
    void SkipExisting();
    std::vector<TraceRecord> Poll();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    uint64_t m_offset = 0;
    std::string m_partial;
};

} // namespace vekhost
