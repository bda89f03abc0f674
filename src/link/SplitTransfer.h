// A data transfer that keeps failing is tried again as two smaller ones.
#pragma once

#include "link/CPool.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace vek {

class Session;

// The two frames that replace a failing transfer, with their time-outs.
struct TransferHalves {
    ByteArray first;
    ByteArray second;
    int32_t firstTimeout = 0;
    int32_t secondTimeout = 0;
};

// Nothing when the step is not a read or write, moves a single item, or its
// frame does not hold what it claims (a split must never read past it).
std::optional<TransferHalves> SplitFrames(const Session& session, const CPool& step);

// Puts the two halves at the head of the queue in place of the step and
// returns true; false (the step untouched) when it cannot be split.
bool SplitTransfer(Session& session, std::unique_ptr<CPool>& step);

} // namespace vek
