// Recognises the modem's "NO CARRIER" result line in the bytes of an online
// call: the words alone on a line, between two line ends. It reads the
// bytes as one stream, however they arrive; whether a line it finds counts
// (or is data of a frame that may still complete) the receive route decides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek {

class NoCarrierWatch {
public:
    // Feeds received bytes. Returns how many of them were read up to and
    // including the line end that completed a result line, or 0 when none
    // did; feed the rest again to go on.
    size_t Feed(std::span<const uint8_t> bytes);
    // A new stream: it begins after the modem's CONNECT line.
    void Reset();

private:
    size_t m_matched = 0;      // characters of the words matched so far
    bool m_atLineStart = true; // the byte before was a line end
};

} // namespace vek
