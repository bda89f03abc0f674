#include "vekhost/Traffic.h"

#include "vekhost/HexDump.h"

#include <algorithm>
#include <cstdio>

namespace vekhost {

std::vector<TrafficRow> GroupTraffic(std::span<const TraceRecord> records)
{
    std::vector<TrafficRow> rows;
    bool joinable = false;
    for (const TraceRecord& record : records) {
        if (record.kind == TraceKind::Step) {
            joinable = false;
            continue;
        }
        if (joinable && rows.back().kind == record.kind) {
            rows.back().bytes.insert(rows.back().bytes.end(), record.bytes.begin(), record.bytes.end());
            continue;
        }
        rows.push_back({record.ms, record.kind, record.bytes});
        joinable = true;
    }
    return rows;
}

std::vector<std::string> FormatTraffic(std::span<const TrafficRow> rows, size_t bytesPerLine)
{
    std::vector<std::string> lines;
    if (rows.empty() || bytesPerLine == 0)
        return lines;
    const uint64_t start = rows.front().ms;
    const int hexWidth = static_cast<int>(bytesPerLine * 3);
    for (const TrafficRow& row : rows) {
        const std::span<const uint8_t> bytes = row.bytes;
        for (size_t at = 0; at < bytes.size() || at == 0; at += bytesPerLine) {
            const auto part = bytes.subspan(at, std::min(bytesPerLine, bytes.size() - at));
            char head[32] = "";
            if (at == 0)
                std::snprintf(head, sizeof head, "%+8lld ms  %s", static_cast<long long>(row.ms - start),
                              row.kind == TraceKind::Sent ? "TX" : "RX");
            char line[256];
            std::snprintf(line, sizeof line, "%-16s  %-*s %s", head, hexWidth, HexBytes(part).c_str(),
                          PrintableText(part).c_str());
            lines.emplace_back(line);
            if (bytes.empty())
                break;
        }
    }
    return lines;
}

} // namespace vekhost
