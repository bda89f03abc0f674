#include "vekhost/StatusLine.h"

#include "vek_comm2.h"

#include <algorithm>
#include <cstdio>

namespace vekhost {
namespace {

constexpr int kFullEfficiency = 10;

} // namespace

void Efficiency::Apply(int code)
{
    switch (code) {
    case VEK_NOTIFY_EXCHANGE_FAILED:
        m_value = std::max(0, m_value - 1);
        ++m_retries;
        break;
    case VEK_NOTIFY_EXCHANGE_OK: m_value = std::min(kFullEfficiency, m_value + 1); break;
    case VEK_NOTIFY_CONNECTED:
    case VEK_NOTIFY_TRANSFER_REFUSED: m_value = kFullEfficiency; break;
    default: break;
    }
}

std::string FormatStatus(const LinkStatus& status)
{
    char text[160];
    std::snprintf(text, sizeof text, "efficiency %d/%d | %d bit/s | sent %llu B, received %llu B | %d %s",
                  status.efficiency, kFullEfficiency, status.lineSpeed, static_cast<unsigned long long>(status.sent),
                  static_cast<unsigned long long>(status.received), status.retries,
                  status.retries == 1 ? "retry" : "retries");
    // The activity changes most: it goes first, where a narrow terminal keeps it.
    return status.activity.empty() ? std::string(text) : status.activity + " | " + text;
}

std::string FormatProgress(std::string_view what, uint32_t done, uint32_t total, int barWidth)
{
    const uint32_t shown = std::min(done, total);
    const int filled = total == 0 ? barWidth : static_cast<int>(static_cast<uint64_t>(shown) * barWidth / total);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(static_cast<size_t>(std::max(barWidth, 0)), '.');
    char text[64];
    std::snprintf(text, sizeof text, "  %u/%u B [", shown, total);
    return std::string(what) + text + bar + "]";
}

} // namespace vekhost
