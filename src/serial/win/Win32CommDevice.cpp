#include "serial/Win32CommDevice.h"

#include "platform/Thread.h"
#include "platform/Trace.h"
#include "serial/CommEvents.h"
#include "serial/CommState.h"
#include "serial/LineSettings.h"
#include "serial/win/CommReaderLink.h"
#include "serial/win/IoBlock.h"

namespace vek {
namespace {

// A write that cannot go out waits this long, as on Linux.
constexpr DWORD kWriteTimeoutMs = 2000;
// Close waits this long for the reader: past its own bound for a cancelled
// operation, so a reader that honours that bound is always joined.
constexpr DWORD kReaderEndMs = 2 * kCancelBoundMs;

std::string SystemErrorText(const char* what, DWORD error = GetLastError())
{
    return std::string(what) + ": error " + std::to_string(error);
}

HANDLE OpenPort(const std::string& path, DWORD flags, std::string* error)
{
    // No sharing: a port in use elsewhere is refused here.
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
    if (port == INVALID_HANDLE_VALUE && error != nullptr)
        *error = SystemErrorText(("open " + path).c_str());
    return port;
}

// Reads return at once with what is there; the reader asks for no more than
// ClearCommError reports, so they never wait.
bool SetImmediateReads(HANDLE port)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    return SetCommTimeouts(port, &timeouts) != 0;
}

} // namespace

bool ProbeCommPort(const std::string& path, std::string* error)
{
    if (path.empty()) {
        if (error)
            *error = "no device for this port";
        return false;
    }
    HANDLE port = OpenPort(path, 0, error);
    if (port == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(port);
    return true;
}

Win32CommDevice::~Win32CommDevice() { Close(); }

void Win32CommDevice::SetError(std::string text)
{
    std::lock_guard lock(m_errorMutex);
    m_lastError = std::move(text);
}

std::string Win32CommDevice::LastError() const
{
    std::lock_guard lock(m_errorMutex);
    return m_lastError;
}

bool Win32CommDevice::Configure(HANDLE port, const std::string& settings)
{
    const auto parsed = ParseLineSettings(settings);
    if (!parsed) {
        SetError("settings not understood: " + settings);
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(port, &dcb)) {
        SetError(SystemErrorText("GetCommState"));
        return false;
    }
    FillCommState(dcb, *parsed, m_dtr);
    if (!SetCommState(port, &dcb)) {
        SetError(SystemErrorText("SetCommState"));
        return false;
    }
    return true;
}

bool Win32CommDevice::Open(const std::string& path, const std::string& settings)
{
    if (IsOpen())
        return true;
    std::string error;
    HANDLE port = OpenPort(path, FILE_FLAG_OVERLAPPED, &error);
    if (port == INVALID_HANDLE_VALUE) {
        SetError(error);
        return false;
    }
    if (!Configure(port, settings) || !SetImmediateReads(port) || !StartReader(port)) {
        if (LastError().empty())
            SetError(SystemErrorText("open"));
        CloseHandle(port);
        return false;
    }
    return true;
}

bool Win32CommDevice::StartReader(HANDLE port)
{
    const DWORD mask = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_RING | EV_ERR | EV_BREAK | EV_TXEMPTY;
    auto link = std::make_shared<CommReaderLink>(port, this);
    if (!link->Valid() || !SetCommMask(port, mask)) {
        SetError(SystemErrorText("SetCommMask"));
        return false;
    }
    DWORD lines = 0;
    m_hasModemLines = GetCommModemStatus(port, &lines) != 0;
    PurgeComm(port, PURGE_RXCLEAR);
    m_gone = false;
    m_txPending = false;
    m_port = port;
    if (!m_reader.Start([link] {
            SetTimeCriticalPriority();
            RunCommReader(link);
        })) {
        m_port = INVALID_HANDLE_VALUE;
        SetError(SystemErrorText("reader thread"));
        return false;
    }
    m_link = std::move(link);
    return true;
}

void Win32CommDevice::LetReaderGo()
{
    // Once this returns the reader cannot reach the device, which may be
    // gone by the time the driver gives the reader back.
    {
        std::lock_guard lock(m_link->mutex);
        m_link->device = nullptr;
    }
    TraceLine("port reader still in the driver after " + std::to_string(kReaderEndMs) + " ms: left behind");
}

void Win32CommDevice::Close()
{
    if (m_reader.Running()) {
        SetEvent(m_link->stop);
        // An empty mask ends a pending WaitCommEvent; Wine does not end it
        // on CancelIo alone.
        SetCommMask(m_port.load(), 0);
        // A reader stuck in the driver must not hold the caller (the host's
        // window thread at the end of a call) for ever: it is let go, and
        // closing the handle below lets a sound driver end its I/O.
        if (!m_reader.Stop(kReaderEndMs))
            LetReaderGo();
    }
    m_link.reset();
    HANDLE port = m_port.exchange(INVALID_HANDLE_VALUE);
    if (port != INVALID_HANDLE_VALUE)
        CloseHandle(port); // drops DTR, as a hang-up on close should
    m_gone = false;
}

bool Win32CommDevice::ApplySettings(const std::string& settings)
{
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE || m_gone)
        return false;
    return Configure(port, settings);
}

bool Win32CommDevice::Write(std::span<const uint8_t> bytes)
{
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE || m_gone)
        return false;
    if (bytes.empty())
        return true;
    // Each write has its own block and event: a direct byte may go out while
    // another write waits for room. The bytes are copied into it, since a
    // write the driver keeps past its cancel may still read them.
    auto io = std::make_unique<IoBlock>();
    if (!io->Valid()) {
        SetError(SystemErrorText("CreateEvent"));
        return false;
    }
    io->buffer.assign(bytes.begin(), bytes.end());
    DWORD written = 0;
    bool done = WriteFile(port, io->buffer.data(), static_cast<DWORD>(io->buffer.size()), &written, &io->ov) != 0;
    DWORD error = done ? 0 : GetLastError();
    if (!done && error == ERROR_IO_PENDING) {
        if (WaitForSingleObject(io->ov.hEvent, kWriteTimeoutMs) == WAIT_OBJECT_0) {
            done = GetOverlappedResult(port, &io->ov, &written, FALSE) != 0;
        } else {
            const Cancelled end = CancelAndCollect(port, io, kCancelBoundMs, written);
            if (end == Cancelled::Abandoned) {
                SetError("write: the driver kept a cancelled write");
                return false;
            }
            done = end == Cancelled::Completed;
        }
        error = done ? 0 : GetLastError();
    }
    if (!done || written != bytes.size()) {
        SetError(done ? std::string("write: no room in the output queue") : SystemErrorText("write", error));
        return false;
    }
    m_txPending = true;
    return true;
}

uint32_t Win32CommDevice::ModemLines() const
{
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE || m_gone)
        return 0;
    if (!m_hasModemLines)
        return LINE_DSR; // no modem lines to read: DSR taken as held
    DWORD status = 0;
    if (!GetCommModemStatus(port, &status))
        return 0;
    uint32_t out = 0;
    if (status & MS_CTS_ON)
        out |= LINE_CTS;
    if (status & MS_DSR_ON)
        out |= LINE_DSR;
    if (status & MS_RLSD_ON)
        out |= LINE_CD;
    if (status & MS_RING_ON)
        out |= LINE_RI;
    return out;
}

void Win32CommDevice::DiscardInput()
{
    HANDLE port = m_port.load();
    if (port != INVALID_HANDLE_VALUE && !m_gone)
        PurgeComm(port, PURGE_RXCLEAR);
}

void Win32CommDevice::SetDtr(bool on)
{
    m_dtr = on;
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE || m_gone || !m_hasModemLines)
        return;
    (void)EscapeCommFunction(port, on ? SETDTR : CLRDTR);
}

void Win32CommDevice::ReportReceived(std::span<const uint8_t> bytes)
{
    if (m_sink)
        m_sink->OnReceived(bytes);
}

void Win32CommDevice::ReportEvents(DWORD events, DWORD errors)
{
    if (m_sink == nullptr)
        return;
    for (const int16_t code : LineEventCodes(events, errors))
        m_sink->OnLineEvent(code);
    if ((events & EV_TXEMPTY) && m_txPending.exchange(false))
        m_sink->OnSendDrained();
}

void Win32CommDevice::MarkGone()
{
    if (m_gone.exchange(true))
        return;
    if (m_sink)
        m_sink->OnDeviceGone();
}

} // namespace vek
