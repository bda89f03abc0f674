#include "vekhost/PoolRequest.h"

#include "vek_comm2.h"

#include <algorithm>

namespace vekhost {
namespace {

void Put32(std::vector<uint8_t>& record, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

std::vector<uint8_t> BuildPoolRecord(const PoolRequest& request, uint32_t dataHandle)
{
    std::vector<uint8_t> record(kPoolRecordSize, 0);
    record[VEK_POOL_ADDRESS] = static_cast<uint8_t>(request.address);
    record[VEK_POOL_ADDRESS + 1] = static_cast<uint8_t>(request.address >> 8);
    Put32(record, VEK_POOL_COUNT, request.count);
    record[VEK_POOL_COMMAND] = request.command;
    Put32(record, VEK_POOL_DATA, dataHandle);
    Put32(record, VEK_POOL_OPERATION, request.kind == TransferKind::Read ? kOperationRead : kOperationWrite);
    return record;
}

std::vector<Chunk> SplitIntoChunks(uint16_t address, uint32_t count, uint32_t chunkSize)
{
    std::vector<Chunk> chunks;
    if (chunkSize == 0)
        return chunks;
    for (uint32_t offset = 0; offset < count; offset += chunkSize) {
        const uint32_t size = std::min(chunkSize, count - offset);
        chunks.push_back({static_cast<uint16_t>(address + offset), offset, size});
    }
    return chunks;
}

} // namespace vekhost
