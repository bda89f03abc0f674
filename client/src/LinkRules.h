// What a transfer must look like in each link mode: the command bytes a mode
// reads and writes with, the largest request its frames carry, the short
// codes of mode 3, and how a long transfer is cut into requests.
#pragma once

#include "vek/client.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vek::internal {

constexpr uint32_t kPanelMemorySize = 0x10000;
constexpr uint16_t kPanelTwoByteAddress = 0x0080;

LinkLimits LimitsForLinkMode(int linkMode);

// The mode 3 code the library sends for a command and a remaining count;
// 0 is the keep-alive code, which carries no data.
uint8_t ShortCodeFor(uint8_t command, uint8_t count);

struct TransferPlan {
    bool write = false;
    uint32_t address = 0;
    uint32_t count = 0;
    uint8_t command = 0;
    uint32_t chunk = 0;
};

// Fills the command and the chunk the options left open and checks the rest
// against the link mode and the panel's options; an error text, or empty.
std::string PlanTransfer(const Panel& panel, const TransferOptions& options, TransferPlan& plan);

struct Chunk {
    uint16_t address;
    uint32_t offset; // into the whole transfer
    uint32_t count;
    bool operator==(const Chunk&) const = default;
};

// Pieces of at most chunkSize bytes, in address order.
std::vector<Chunk> SplitIntoChunks(uint32_t address, uint32_t count, uint32_t chunkSize);

} // namespace vek::internal
