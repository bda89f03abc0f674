// One overlapped operation's OVERLAPPED, event and buffer, on the heap. A
// driver that does not give back a cancelled operation may still write to
// them whenever it finishes: such a block is abandoned, never freed, rather
// than left to a stack frame or buffer that is reused.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace vek {

// How long a cancelled operation may take to come back from the driver.
inline constexpr DWORD kCancelBoundMs = 500;

struct IoBlock {
    IoBlock();
    ~IoBlock();
    IoBlock(const IoBlock&) = delete;
    IoBlock& operator=(const IoBlock&) = delete;

    bool Valid() const { return ov.hEvent != nullptr; }
    // Before each operation: the event is set only by the one to come.
    void Arm() { ResetEvent(ov.hEvent); }

    OVERLAPPED ov{};             // its manual-reset event is the block's own
    DWORD events = 0;            // what WaitCommEvent reports
    std::vector<uint8_t> buffer; // what ReadFile fills or WriteFile sends
};

// What became of an operation after a cancel.
enum class Cancelled {
    Completed, // it had finished after all
    Aborted,   // the driver gave it back unfinished
    Abandoned, // the driver kept it past the bound
};

// Cancels the calling thread's operations on port and waits at most boundMs
// for the driver to give io back. Abandoned leaves io null: released, never
// freed.
Cancelled CancelAndCollect(HANDLE port, std::unique_ptr<IoBlock>& io, DWORD boundMs, DWORD& transferred);

} // namespace vek
