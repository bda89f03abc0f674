#include "host/HostBlock.h"

#include <cstring>

namespace vek {

HGLOBAL NewHostBlock(std::span<const uint8_t> bytes)
{
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    if (block == 0 || bytes.empty())
        return block;
    void* p = GlobalLock(block);
    if (p == nullptr) {
        GlobalFree(block);
        return 0;
    }
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

void FreeHostBlock(HGLOBAL block)
{
    if (block != 0)
        GlobalFree(block);
}

} // namespace vek
