#include "TraceLine.h"

#include "Hex.h"

#include <charconv>

namespace vek::internal {

std::optional<TraceEntry> ParseTraceLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    line.remove_prefix(first);
    const size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    TraceEntry entry;
    const auto [end, error] = std::from_chars(line.data(), line.data() + space, entry.ms);
    if (error != std::errc{} || end != line.data() + space)
        return std::nullopt;
    entry.text = line.substr(space + 1);
    const std::string_view text = entry.text;
    const bool sent = text.starts_with("TX");
    if ((sent || text.starts_with("RX")) && (text.size() == 2 || text[2] == ' ')) {
        if (auto bytes = ParseSpacedHex(text.substr(2))) {
            entry.kind = sent ? TraceEntry::Kind::Sent : TraceEntry::Kind::Received;
            entry.bytes = std::move(*bytes);
        }
    }
    return entry;
}

} // namespace vek::internal
