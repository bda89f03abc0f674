#include "vekhost/TraceReader.h"

#include "vekhost/Numbers.h"

#include <cstdio>
#include <filesystem>

namespace vekhost {
namespace {

// "TX 41 54" or "RX 0D 0A": the direction, then bytes in hex.
bool ReadBytes(std::string_view text, TraceRecord& record)
{
    const bool sent = text.starts_with("TX");
    if (!sent && !text.starts_with("RX"))
        return false;
    if (text.size() > 2 && text[2] != ' ')
        return false;
    const std::string_view hex = text.size() > 3 ? text.substr(3) : std::string_view{};
    auto bytes = hex.empty() ? std::optional<std::vector<uint8_t>>(std::vector<uint8_t>{}) : ParseHexBytes(hex);
    if (!bytes)
        return false;
    record.kind = sent ? TraceKind::Sent : TraceKind::Received;
    record.bytes = std::move(*bytes);
    return true;
}

} // namespace

std::optional<TraceRecord> ParseTraceLine(std::string_view line)
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
    const auto ms = ParseUnsigned(line.substr(0, space));
    if (!ms || line.substr(0, 2) == "0x")
        return std::nullopt;
    TraceRecord record;
    record.ms = *ms;
    record.text = line.substr(space + 1);
    if (!ReadBytes(record.text, record))
        record.kind = TraceKind::Step;
    return record;
}

void TraceTotals::Add(const TraceRecord& record)
{
    if (record.kind == TraceKind::Sent)
        sent += record.bytes.size();
    else if (record.kind == TraceKind::Received)
        received += record.bytes.size();
}

TraceFollower::TraceFollower(std::string path) : m_path(std::move(path)) {}

void TraceFollower::SkipExisting()
{
    std::error_code error;
    const auto size = std::filesystem::file_size(m_path, error);
    m_offset = error ? 0 : size;
    m_partial.clear();
}

std::vector<TraceRecord> TraceFollower::Poll()
{
    std::vector<TraceRecord> records;
    std::FILE* file = std::fopen(m_path.c_str(), "rb");
    if (file == nullptr)
        return records;
    if (std::fseek(file, 0, SEEK_END) == 0 && static_cast<uint64_t>(std::ftell(file)) < m_offset) {
        m_offset = 0; // the file was emptied: start again
        m_partial.clear();
    }
    std::fseek(file, static_cast<long>(m_offset), SEEK_SET);
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        m_offset += got;
        m_partial.append(buffer, got);
    }
    std::fclose(file);
    size_t start = 0;
    for (size_t end = m_partial.find('\n'); end != std::string::npos; end = m_partial.find('\n', start)) {
        if (auto record = ParseTraceLine(std::string_view(m_partial).substr(start, end - start)))
            records.push_back(std::move(*record));
        start = end + 1;
    }
    m_partial.erase(0, start);
    return records;
}

} // namespace vekhost
