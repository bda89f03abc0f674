#include "serial/Win32CommDevice.h"

#include "platform/Thread.h"
#include "serial/CommState.h"
#include "serial/LineSettings.h"

namespace vek {
namespace {

// A write that cannot go out waits this long, as on Linux.
constexpr DWORD kWriteTimeoutMs = 2000;

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
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_stop == nullptr || !SetCommMask(port, mask)) {
        SetError(SystemErrorText("SetCommMask"));
        if (m_stop != nullptr)
            CloseHandle(m_stop);
        m_stop = nullptr;
        return false;
    }
    DWORD lines = 0;
    m_hasModemLines = GetCommModemStatus(port, &lines) != 0;
    PurgeComm(port, PURGE_RXCLEAR);
    m_gone = false;
    m_txPending = false;
    m_port = port;
    m_reader = std::thread([this, port] {
        SetTimeCriticalPriority();
        ReaderLoop(port);
    });
    return true;
}

void Win32CommDevice::Close()
{
    if (m_reader.joinable()) {
        SetEvent(m_stop);
        // An empty mask ends a pending WaitCommEvent; Wine does not end it
        // on CancelIo alone.
        SetCommMask(m_port.load(), 0);
        m_reader.join();
    }
    HANDLE port = m_port.exchange(INVALID_HANDLE_VALUE);
    if (port != INVALID_HANDLE_VALUE)
        CloseHandle(port); // drops DTR, as a hang-up on close should
    if (m_stop != nullptr)
        CloseHandle(m_stop);
    m_stop = nullptr;
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
    // Each write has its own event: a direct byte may go out while another
    // write waits for room.
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ov.hEvent == nullptr) {
        SetError(SystemErrorText("CreateEvent"));
        return false;
    }
    DWORD written = 0;
    bool done = WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &ov) != 0;
    if (!done && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(ov.hEvent, kWriteTimeoutMs) != WAIT_OBJECT_0)
            CancelIo(port);
        done = GetOverlappedResult(port, &ov, &written, TRUE) != 0;
    }
    const DWORD error = GetLastError();
    CloseHandle(ov.hEvent);
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

void Win32CommDevice::MarkGone()
{
    if (m_gone.exchange(true))
        return;
    if (m_sink)
        m_sink->OnDeviceGone();
}

} // namespace vek
