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

namespace {

// Gaps shorter than this are the ordinary pace of an exchange; the escape
// guard time is named from a much shorter pause.
constexpr uint64_t kQuietWorthNaming = 1000;
constexpr uint64_t kGuardWorthNaming = 100;

bool IsEscape(const TrafficRow& row) { return row.bytes == std::vector<uint8_t>{'+', '+', '+'}; }

bool IsIdentification(const TrafficContext& context, const TrafficRow& row)
{
    return DescribeBytes(context, row.kind, row.bytes).starts_with("identification");
}

std::string QuietNote(const TrafficContext& context, const TrafficRow* before, const TrafficRow& row)
{
    const bool escape = before != nullptr && (IsEscape(row) || IsEscape(*before));
    if (before == nullptr || row.ms - before->ms < (escape ? kGuardWorthNaming : kQuietWorthNaming))
        return {};
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s quiet", static_cast<double>(row.ms - before->ms) / 1000.0);
    std::string why;
    if (IsEscape(row))
        why = ": the escape guard time before +++";
    else if (IsEscape(*before))
        why = ": the guard time after +++";
    else if (before->kind == TraceKind::Received && IsIdentification(context, *before))
        why = ": the silence after the identification";
    return std::string("                  -- ") + seconds + why + " --";
}

} // namespace

std::vector<std::string> FormatTraffic(std::span<const TrafficRow> rows, size_t bytesPerLine,
                                       const TrafficContext* context)
{
    std::vector<std::string> lines;
    if (rows.empty() || bytesPerLine == 0)
        return lines;
    const uint64_t start = rows.front().ms;
    const int hexWidth = static_cast<int>(bytesPerLine * 3);
    const TrafficRow* before = nullptr;
    for (const TrafficRow& row : rows) {
        if (context != nullptr)
            if (std::string note = QuietNote(*context, before, row); !note.empty())
                lines.push_back(std::move(note));
        before = &row;
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
        if (context != nullptr)
            if (const std::string what = DescribeBytes(*context, row.kind, bytes); !what.empty())
                lines.push_back("                  = " + what);
    }
    return lines;
}

} // namespace vekhost
