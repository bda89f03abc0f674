// The line's figures as the communications control writes and reads: bytes
// each way, writes, and writes that repeat the one before (resent frames).
// Counted with atomics; read from any thread without a lock.
#pragma once

#include <cstdint>
#include <span>

namespace vek {

struct LineCounts {
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    uint64_t writes = 0;
    uint64_t resends = 0;
};

void CountSent(std::span<const uint8_t> bytes);
// Takes back a write that CountSent counted but the line refused.
void CountUnsent(std::span<const uint8_t> bytes);
void CountReceived(std::span<const uint8_t> bytes);
LineCounts CurrentLineCounts();

} // namespace vek
