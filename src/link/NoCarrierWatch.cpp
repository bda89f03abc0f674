#include "link/NoCarrierWatch.h"

#include <string_view>

namespace vek {
namespace {

constexpr std::string_view kNoCarrier = "NO CARRIER";

bool IsLineEnd(uint8_t b) { return b == '\r' || b == '\n'; }

} // namespace

bool NoCarrierWatch::Feed(std::span<const uint8_t> bytes, bool atBoundary, uint64_t nowMs)
{
    if (atBoundary || (m_heardBefore && nowMs - m_lastMs >= kFallenSilentMs)) {
        m_active = true;
        m_matched = 0;
    }
    m_heardBefore = true;
    m_lastMs = nowMs;
    for (const uint8_t b : bytes) {
        if (!m_active)
            return false;
        if (m_matched == 0 && IsLineEnd(b))
            continue; // the line feed in front of a verbose result
        if (m_matched < kNoCarrier.size() && b == static_cast<uint8_t>(kNoCarrier[m_matched])) {
            ++m_matched;
            continue;
        }
        const bool complete = m_matched == kNoCarrier.size() && IsLineEnd(b);
        m_active = false;
        if (complete)
            return true;
    }
    return false;
}

void NoCarrierWatch::Reset()
{
    m_active = false;
    m_heardBefore = false;
    m_matched = 0;
}

} // namespace vek
