// A transfer request as VEKComm2_AddPool takes it: a 48-byte record with the
// handle of a data block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vek::internal {

constexpr size_t kPoolRecordSize = 48;
constexpr uint32_t kOperationRead = 'u';
constexpr uint32_t kOperationWrite = '-';

enum class TransferKind { Read, Write };

struct PoolRequest {
    TransferKind kind = TransferKind::Read;
    uint16_t address = 0;
    uint32_t count = 0;
    uint8_t command = 0x52;
};

std::vector<uint8_t> BuildPoolRecord(const PoolRequest& request, uint32_t dataHandle);

} // namespace vek::internal
