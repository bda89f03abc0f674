// One read or write of a call: its plan, the requests it is cut into, what
// it has done so far and how it ends. Host thread only.
#pragma once

#include "CallState.h"
#include "LinkRules.h"

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vek::internal {

struct TransferOp {
    std::shared_ptr<CallState> call;
    TransferPlan plan;
    std::function<void(uint32_t, uint32_t)> progress;
    std::vector<Chunk> chunks;
    size_t next = 0;       // the chunk to send next (or in flight)
    bool inFlight = false; // its request is in the library
    Bytes data;            // write: the bytes; read: read so far
    uint32_t done = 0;
    std::chrono::milliseconds bound{0};
    bool usersBound = false;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    // Cancelled once: no new request; ends when the one in flight has its
    // outcome, or at the deadline.
    bool cancelled = false;
    Cause cancelCause = Cause::Cancelled;
    std::string cancelText;
    std::function<void(std::exception_ptr, Bytes)> readDone;
    std::function<void(std::exception_ptr)> writeDone;

    uint32_t ChunkAddress() const
    {
        return next < chunks.size() ? chunks[next].address : plan.address + plan.count;
    }
    std::string WaitingFor() const;
};

} // namespace vek::internal
