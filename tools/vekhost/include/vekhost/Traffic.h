// The line traffic of a call for people: the bytes of one direction that
// follow each other in the trace form one row, shown in hex and as text.
#pragma once

#include "vekhost/FrameDescription.h"
#include "vekhost/TraceReader.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vekhost {

struct TrafficRow {
    uint64_t ms = 0;
    TraceKind kind = TraceKind::Sent;
    std::vector<uint8_t> bytes;
};

// Step lines are dropped; they only separate rows.
std::vector<TrafficRow> GroupTraffic(std::span<const TraceRecord> records);
// Times relative to the first row; long rows continue on further lines.
// With a context each row is followed by what it is, and long quiet spells
// are named (the silence after the identification, the escape guard time).
std::vector<std::string> FormatTraffic(std::span<const TrafficRow> rows, size_t bytesPerLine = 16,
                                       const TrafficContext* context = nullptr);

} // namespace vekhost
