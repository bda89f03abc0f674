// A transfer request as VEKComm2_AddPool takes it (a 48-byte record with
// the handle of a data block), and how a long transfer is cut into pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vekhost {

constexpr size_t kPoolRecordSize = 48;
constexpr uint32_t kOperationRead = 'u';
constexpr uint32_t kOperationWrite = '-';
constexpr uint8_t kDefaultReadCommand = 0x52;
constexpr uint8_t kDefaultWriteCommand = 0x57;

enum class TransferKind { Read, Write };

struct PoolRequest {
    TransferKind kind = TransferKind::Read;
    uint16_t address = 0;
    uint32_t count = 0;
    uint8_t command = kDefaultReadCommand;
};

std::vector<uint8_t> BuildPoolRecord(const PoolRequest& request, uint32_t dataHandle);

struct Chunk {
    uint16_t address;
    uint32_t offset; // into the whole transfer
    uint32_t count;
    bool operator==(const Chunk&) const = default;
};

// Pieces of at most chunkSize bytes, in address order.
std::vector<Chunk> SplitIntoChunks(uint16_t address, uint32_t count, uint32_t chunkSize);

} // namespace vekhost
