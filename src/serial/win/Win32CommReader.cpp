// The reader thread of the Win32 device: waits on WaitCommEvent, reads
// exactly what ClearCommError reports, and tells the sink what happened.
#include "serial/Win32CommDevice.h"

#include "serial/CommEvents.h"

#include <algorithm>
#include <vector>

namespace vek {
namespace {

// Overlapped I/O that completes, fails, or is cut short by the stop event.
enum class Wait { Done, Failed, Stopped };

Wait FinishIo(HANDLE port, OVERLAPPED& ov, HANDLE stop, DWORD& transferred)
{
    HANDLE waits[2] = {ov.hEvent, stop};
    const DWORD hit = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (hit != WAIT_OBJECT_0) {
        CancelIo(port);
        GetOverlappedResult(port, &ov, &transferred, TRUE);
        return Wait::Stopped;
    }
    return GetOverlappedResult(port, &ov, &transferred, FALSE) ? Wait::Done : Wait::Failed;
}

} // namespace

bool Win32CommDevice::WaitForEvents(HANDLE port, OVERLAPPED& ov, DWORD& events)
{
    events = 0;
    ResetEvent(ov.hEvent);
    if (WaitCommEvent(port, &events, &ov))
        return true;
    DWORD unused = 0;
    if (GetLastError() == ERROR_IO_PENDING) {
        switch (FinishIo(port, ov, m_stop, unused)) {
        case Wait::Done: return true;
        case Wait::Stopped: return false;
        case Wait::Failed: break;
        }
    }
    // Close empties the mask, which fails a wait: that is no lost device.
    if (!Stopping())
        MarkGone();
    return false;
}

bool Win32CommDevice::ReadWaiting(HANDLE port, OVERLAPPED& ov)
{
    // The driver's count decides how much to read, but never how much to
    // allocate: a larger backlog is read in pieces.
    constexpr DWORD kMaxRead = 64 * 1024;
    std::vector<uint8_t> buffer;
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(port, &errors, &status))
            return false;
        ReportEvents(0, errors);
        if (status.cbInQue == 0)
            return true;
        buffer.resize(std::min(status.cbInQue, kMaxRead));
        ResetEvent(ov.hEvent);
        DWORD got = 0;
        if (!ReadFile(port, buffer.data(), static_cast<DWORD>(buffer.size()), &got, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return false;
            if (FinishIo(port, ov, m_stop, got) != Wait::Done)
                return Stopping();
        }
        if (got > 0 && m_sink)
            m_sink->OnReceived({buffer.data(), got});
        if (got == 0 || Stopping())
            return true;
    }
}

bool Win32CommDevice::Stopping() const { return WaitForSingleObject(m_stop, 0) == WAIT_OBJECT_0; }

void Win32CommDevice::ReportEvents(DWORD events, DWORD errors)
{
    if (m_sink == nullptr)
        return;
    for (const int16_t code : LineEventCodes(events, errors))
        m_sink->OnLineEvent(code);
    if ((events & EV_TXEMPTY) && m_txPending.exchange(false))
        m_sink->OnSendDrained();
}

void Win32CommDevice::ReaderLoop(HANDLE port)
{
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ov.hEvent == nullptr)
        return;
    DWORD events = 0;
    while (WaitForEvents(port, ov, events)) {
        // Data first: a carrier drop must not overtake the bytes before it.
        if (!ReadWaiting(port, ov)) {
            if (!Stopping())
                MarkGone();
            break;
        }
        if (Stopping())
            break;
        ReportEvents(events & ~static_cast<DWORD>(EV_RXCHAR | EV_ERR), 0);
    }
    CloseHandle(ov.hEvent);
}

} // namespace vek
