#include "serial/win/IoBlock.h"

namespace vek {

IoBlock::IoBlock() { ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }

IoBlock::~IoBlock()
{
    if (ov.hEvent != nullptr)
        CloseHandle(ov.hEvent);
}

Cancelled CancelAndCollect(HANDLE port, std::unique_ptr<IoBlock>& io, DWORD boundMs, DWORD& transferred)
{
    transferred = 0;
    CancelIo(port);
    // Waiting on the event, not in GetOverlappedResult(TRUE): a driver that
    // ignores the cancel would hold this thread, and whoever joins it, for ever.
    if (WaitForSingleObject(io->ov.hEvent, boundMs) != WAIT_OBJECT_0) {
        (void)io.release(); // the driver may still complete into it
        return Cancelled::Abandoned;
    }
    return GetOverlappedResult(port, &io->ov, &transferred, FALSE) ? Cancelled::Completed : Cancelled::Aborted;
}

} // namespace vek
