// Movable global memory blocks behind 32-bit handles.
#include "platform/HandleTable.h"
#include "vek_host.h"

#include <atomic>
#include <new>
#include <vector>

namespace vek {
namespace {

// Far beyond any record or reply; a garbage size is refused, not attempted.
constexpr size_t kMaxBlockBytes = size_t{1} << 30;

struct Block {
    std::vector<uint8_t> bytes;
    std::atomic<int> locks{0};
};

HandleTable<Block>& Blocks()
{
    static HandleTable<Block> table;
    return table;
}

} // namespace
} // namespace vek

using namespace vek;

extern "C" {

HGLOBAL GlobalAlloc(UINT, size_t bytes)
{
    if (bytes > kMaxBlockBytes)
        return 0;
    try {
        auto block = std::make_shared<Block>();
        block->bytes.assign(bytes, 0); // always zero-filled
        return Blocks().Add(std::move(block));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

void* GlobalLock(HGLOBAL h)
{
    const auto block = Blocks().Find(h);
    if (!block || block->bytes.empty())
        return nullptr;
    ++block->locks;
    return block->bytes.data();
}

int GlobalUnlock(HGLOBAL h)
{
    const auto block = Blocks().Find(h);
    if (!block)
        return 0;
    int locks = block->locks.load();
    while (locks > 0 && !block->locks.compare_exchange_weak(locks, locks - 1)) {
    }
    return locks > 0 ? locks - 1 : 0;
}

HGLOBAL GlobalFree(HGLOBAL h) { return Blocks().Remove(h) ? 0 : h; }

size_t GlobalSize(HGLOBAL h)
{
    const auto block = Blocks().Find(h);
    return block ? block->bytes.size() : 0;
}

} // extern "C"
