#include "PoolRecord.h"

#include "vek_comm2.h"

namespace vek::internal {
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

} // namespace vek::internal
