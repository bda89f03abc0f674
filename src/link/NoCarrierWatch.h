// Recognises the modem's "NO CARRIER" result line among the bytes of an
// online call. Only a line that begins where no frame is pending counts: at
// a frame boundary, or after a partial frame has fallen silent. Inside a
// frame the data may hold any text.
#pragma once

#include <cstdint>
#include <span>

namespace vek {

// Received bytes this long after the last ones start afresh: what came
// before was a frame that will not be finished.
inline constexpr uint64_t kFallenSilentMs = 500;

class NoCarrierWatch {
public:
    // One chunk of received bytes. atBoundary: nothing of a frame is pending
    // in front of it. True when the chunk completes the result line.
    bool Feed(std::span<const uint8_t> bytes, bool atBoundary, uint64_t nowMs);
    void Reset();

private:
    bool m_active = false;
    bool m_heardBefore = false;
    size_t m_matched = 0;
    uint64_t m_lastMs = 0;
};

} // namespace vek
