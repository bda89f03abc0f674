#include "link/NoCarrierWatch.h"

#include <string_view>

namespace vek {
namespace {

constexpr std::string_view kNoCarrier = "NO CARRIER";

bool IsLineEnd(uint8_t b) { return b == '\r' || b == '\n'; }

} // namespace

size_t NoCarrierWatch::Feed(std::span<const uint8_t> bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t b = bytes[i];
        const bool lineEnd = IsLineEnd(b);
        if (m_matched == kNoCarrier.size() && lineEnd) {
            m_matched = 0;
            m_atLineStart = true;
            return i + 1;
        }
        const bool goesOn = m_matched < kNoCarrier.size() && (m_matched > 0 || m_atLineStart) &&
                            b == static_cast<uint8_t>(kNoCarrier[m_matched]);
        m_matched = goesOn ? m_matched + 1 : 0;
        m_atLineStart = lineEnd;
    }
    return 0;
}

void NoCarrierWatch::Reset()
{
    m_matched = 0;
    m_atLineStart = true;
}

} // namespace vek
