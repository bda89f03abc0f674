// Blocks of data handed to the host in a notification: movable, zero-filled
// global memory that the host owns from the moment it is posted.
#pragma once

#include "vek_comm2.h"

#include <cstdint>
#include <span>

namespace vek {

// A new block holding a copy of the bytes; its size is the payload's, so an
// empty payload is a valid handle of size 0. 0 when none could be allocated.
HGLOBAL NewHostBlock(std::span<const uint8_t> bytes);
// Frees a block that was never handed over.
void FreeHostBlock(HGLOBAL block);

} // namespace vek
