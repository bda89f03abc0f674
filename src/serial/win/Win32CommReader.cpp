// The reader thread of the Win32 device: waits on WaitCommEvent, reads
// exactly what ClearCommError reports, and tells the device what happened.
// Once Close has set the stop event the reader starts nothing more on the
// port and reports nothing: Close may have let it go and closed the handle.
#include "serial/Win32CommDevice.h"

#include "serial/win/CommReaderLink.h"
#include "serial/win/IoBlock.h"

#include <algorithm>

namespace vek {
namespace {

// Overlapped I/O that completes, fails, or is cut short by the stop event.
enum class Wait { Done, Failed, Stopped };

// The driver's count decides how much to read, but never how much to
// allocate: a larger backlog is read in pieces.
constexpr DWORD kMaxRead = 64 * 1024;

} // namespace

class CommReader {
public:
    explicit CommReader(std::shared_ptr<CommReaderLink> link) : m_link(std::move(link)) {}

    void Run();

private:
    Wait Finish(DWORD& transferred);
    // One WaitCommEvent; false when the reader must end.
    bool WaitForEvents();
    // Reads exactly what the driver holds; false when the device has gone.
    bool ReadWaiting();
    bool Stopping() const { return WaitForSingleObject(m_link->stop, 0) == WAIT_OBJECT_0; }
    template <typename Report> void ToDevice(Report report);

    std::shared_ptr<CommReaderLink> m_link;
    // Null once a cancelled operation was abandoned to the driver.
    std::unique_ptr<IoBlock> m_io = std::make_unique<IoBlock>();
};

template <typename Report> void CommReader::ToDevice(Report report)
{
    std::lock_guard lock(m_link->mutex);
    if (m_link->device != nullptr && !Stopping())
        report(*m_link->device);
}

Wait CommReader::Finish(DWORD& transferred)
{
    HANDLE waits[2] = {m_io->ov.hEvent, m_link->stop};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelAndCollect(m_link->port, m_io, kCancelBoundMs, transferred);
        return Wait::Stopped;
    }
    return GetOverlappedResult(m_link->port, &m_io->ov, &transferred, FALSE) ? Wait::Done : Wait::Failed;
}

bool CommReader::WaitForEvents()
{
    m_io->events = 0;
    m_io->Arm();
    if (WaitCommEvent(m_link->port, &m_io->events, &m_io->ov))
        return true;
    DWORD unused = 0;
    if (GetLastError() == ERROR_IO_PENDING) {
        switch (Finish(unused)) {
        case Wait::Done: return true;
        case Wait::Stopped: return false;
        case Wait::Failed: break;
        }
    }
    // Close empties the mask, which fails a wait: that is no lost device.
    ToDevice([](Win32CommDevice& device) { device.MarkGone(); });
    return false;
}

bool CommReader::ReadWaiting()
{
    for (;;) {
        if (Stopping())
            return true;
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(m_link->port, &errors, &status))
            return false;
        ToDevice([errors](Win32CommDevice& device) { device.ReportEvents(0, errors); });
        if (status.cbInQue == 0)
            return true;
        m_io->buffer.resize(std::min(status.cbInQue, kMaxRead));
        m_io->Arm();
        DWORD got = 0;
        if (!ReadFile(m_link->port, m_io->buffer.data(), static_cast<DWORD>(m_io->buffer.size()), &got, &m_io->ov)) {
            if (GetLastError() != ERROR_IO_PENDING)
                return false;
            if (Finish(got) != Wait::Done)
                return Stopping();
        }
        if (got == 0)
            return true;
        const std::span<const uint8_t> bytes(m_io->buffer.data(), got);
        ToDevice([bytes](Win32CommDevice& device) { device.ReportReceived(bytes); });
    }
}

void CommReader::Run()
{
    if (!m_io->Valid())
        return;
    while (!Stopping() && WaitForEvents()) {
        const DWORD events = m_io->events;
        // Data first: a carrier drop must not overtake the bytes before it.
        if (!ReadWaiting()) {
            ToDevice([](Win32CommDevice& device) { device.MarkGone(); });
            return;
        }
        if (Stopping())
            return;
        ToDevice([events](Win32CommDevice& device) {
            device.ReportEvents(events & ~static_cast<DWORD>(EV_RXCHAR | EV_ERR), 0);
        });
    }
}

void RunCommReader(std::shared_ptr<CommReaderLink> link) { CommReader(std::move(link)).Run(); }

} // namespace vek
