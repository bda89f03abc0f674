// Data-transfer frames carrying one host read, write or command request.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vek {

inline constexpr uint32_t kOperationRead = 'u';
inline constexpr uint32_t kOperationWrite = '-';

struct TransferRequest {
    uint32_t operation = 0; // 'u' read, '-' write, anything else a command with data
    uint8_t command = 0;
    uint8_t subAddress = 0; // modes 4 and 5
    uint16_t address = 0;
    uint32_t count = 0;
    std::span<const uint8_t> data; // the host's data block, as large as it really is
};

// The one long frame (modes 1, 2, 4, 5; above 5 as 5). Nothing (nullopt) when
// the frame cannot carry the request unchanged: the length does not fit its
// field (a mode 1 write of more than 250 bytes), the reply could not carry
// the count read (LongestReadCount), or the data block is shorter than the
// count.
std::optional<std::vector<uint8_t>> BuildLongTransferFrame(int linkMode, const TransferRequest& request);

// The most bytes one read can ask for in a long-frame mode: what the
// reply's length field can still cover (mode 1: 252, mode 2: 65532).
uint32_t LongestReadCount(int linkMode);
// The count a long-frame read asks for, from the frame itself.
std::optional<size_t> LongReadCount(int linkMode, std::span<const uint8_t> frame);

struct ShortTransferFrame {
    std::vector<uint8_t> bytes;
    uint8_t offset = 0; // of the first data byte this frame moves
    uint8_t chunk = 0;  // data bytes it moves
};

// Mode 3: the request split into frames of 8, 4, 2 or 1 data bytes (3 for
// code 0x50 on the wide-code panel). twoByteAddress: panel option 0x0080.
// Nothing (nullopt) for a count of 0 or above 255 (the short codes move at
// most 255 bytes), when a write's data block is shorter than the count, or
// when the wide-code panel's 3-byte chunks do not divide the count: the last
// frame would move bytes beyond the count.
std::optional<std::vector<ShortTransferFrame>> BuildShortTransferFrames(const TransferRequest& request,
                                                                        bool twoByteAddress, bool wideCode50Panel);

} // namespace vek
