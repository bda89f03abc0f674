#include "HostSession.h"

#include "vekhost/HexDump.h"
#include "vekhost/Identification.h"
#include "vekhost/Notifications.h"

#include "vek_comm2.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace vekhost {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kPumpSliceMs = 50;
constexpr auto kStatusEvery = 200ms;
// The worker's last modem step is judged on this thread: let it finish
// before the library stops, or the stop waits out the step's time-out.
constexpr int kQuietMs = 250;
constexpr auto kSettleLimit = 6s;

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};
// The session whose library may call the host back; one at a time.
HostSession* g_current = nullptr;

void OnInterrupt(int signal)
{
    g_signal = signal;
    g_interrupted = true;
}

bool Contains(std::initializer_list<int> codes, int code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::vector<uint8_t> TakeBlock(LPARAM lParam)
{
    const auto handle = static_cast<HGLOBAL>(lParam);
    std::vector<uint8_t> bytes;
    if (const void* p = GlobalLock(handle)) {
        const auto* first = static_cast<const uint8_t*>(p);
        bytes.assign(first, first + GlobalSize(handle));
        GlobalUnlock(handle);
    }
    GlobalFree(handle);
    return bytes;
}

Style StyleOf(int code)
{
    const NotificationInfo* info = FindNotification(code);
    if (info == nullptr)
        return Style::Plain;
    switch (info->kind) {
    case NoteKind::Failure: return Style::Bad;
    case NoteKind::Progress: return Style::Good;
    case NoteKind::Info: return Style::Plain;
    }
    return Style::Plain;
}

} // namespace

void InstallInterruptHandler()
{
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    action.sa_flags = SA_RESETHAND; // a second Ctrl-C ends the program at once
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return g_interrupted.load(); }

ExitCode InterruptExit() { return g_signal.load() == SIGTERM ? ExitCode::Terminated : ExitCode::Interrupted; }

void ReportIdleRequest(int what, int arg)
{
    if (g_current == nullptr)
        return;
    char text[96];
    std::snprintf(text, sizeof text, "%7.2f s       the line is idle: asked for work (%d, %d), none to add",
                  static_cast<double>(g_current->ElapsedMs()) / 1000.0, what, arg);
    g_current->Out().Line(text);
}

HostSession::HostSession(Console& console, SessionOptions options)
    : m_console(console), m_options(std::move(options)), m_start(Clock::now()), m_lastStatus(m_start)
{
}

void HostSession::OnTraceLine(const char* line, void* context)
{
    auto* self = static_cast<HostSession*>(context);
    std::lock_guard lock(self->m_traceMutex);
    self->m_traceLines.emplace_back(line);
}

HostSession::~HostSession() { Stop(); }

bool HostSession::PortOpened() const
{
    return std::any_of(m_notes.begin(), m_notes.end(), [](const Note& note) {
        return note.code == VEK_NOTIFY_MODEM_READY || note.code == VEK_NOTIFY_CONNECTED ||
               note.code == VEK_NOTIFY_IDENTIFIED || note.code == VEK_NOTIFY_INCOMING_IDENTIFIED;
    });
}

uint64_t HostSession::ElapsedMs() const
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count());
}

bool HostSession::Start()
{
    m_window = VekCreateWindow(&HostSession::WindowProc, this);
    if (m_window == 0)
        return false;
    VekSetTraceHook(&HostSession::OnTraceLine, this);
    m_started = VEKComm2_Init(m_window) == 1;
    if (m_started)
        g_current = this;
    return m_started;
}

void HostSession::Stop()
{
    if (m_started) {
        Settle(std::chrono::milliseconds(kQuietMs));
        m_lineSpeed = VEKComm2_GetCurrentBaudRate();
        ReadFigures();
        VEKComm2_Uninit();
        m_started = false;
        g_current = nullptr;
    }
    // The library's threads have ended: no line can arrive any more.
    VekSetTraceHook(nullptr, nullptr);
    if (m_window == 0)
        return;
    // Blocks posted before the library stopped are still ours to free.
    while (VekPumpMessages(0) > 0) {
    }
    VekDestroyWindow(m_window);
    m_window = 0;
    PollTrace();
    m_console.ClearStatus();
}

LRESULT HostSession::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<HostSession*>(VekWindowContext(hwnd));
    if (self == nullptr)
        return 0;
    if (message == VEK_WM_COMM_HOST_NOTIFY)
        self->OnNotification(static_cast<int>(wParam), lParam);
    else if (message == WM_COMMAND && wParam == VEK_CMD_IDLE_DISCONNECT)
        self->m_idleDisconnect = true;
    return 0;
}

void HostSession::OnNotification(int code, LPARAM lParam)
{
    Note note{code, ElapsedMs(), {}};
    if (lParam != 0 && CarriesBlock(code))
        note.block = TakeBlock(lParam);
    m_efficiency.Apply(code);
    if (code == VEK_NOTIFY_CONNECTED)
        m_online = true;
    if (code == VEK_NOTIFY_SESSION_OPENED)
        m_sessionOpen = true;
    if (code == VEK_NOTIFY_CONNECTED || code == VEK_NOTIFY_ON_HOOK || code == VEK_NOTIFY_MODEM_READY)
        m_sessionOpen = false;
    if (code == VEK_NOTIFY_ON_HOOK || code == VEK_NOTIFY_MODEM_READY)
        m_online = false;
    PrintNote(note);
    m_notes.push_back(std::move(note));
}

void HostSession::PrintNote(const Note& note)
{
    // Quiet: the per-request codes of a long transfer are left out.
    if (m_options.quiet && (note.code == VEK_NOTIFY_READ_DONE || note.code == VEK_NOTIFY_WRITE_DONE ||
                            note.code == VEK_NOTIFY_EXCHANGE_FAILED || note.code == VEK_NOTIFY_EXCHANGE_OK))
        return;
    std::string detail;
    switch (note.code) {
    case VEK_NOTIFY_READ_DONE: detail = std::to_string(note.block.size()) + " bytes"; break;
    case VEK_NOTIFY_WRITE_DONE:
        if (!note.block.empty())
            detail = "reply of " + std::to_string(note.block.size()) + " bytes";
        break;
    case VEK_NOTIFY_IDENTIFIED: {
        const std::vector<uint8_t> reply = TrimReply(note.block);
        if (const auto ident = FindIdentification(reply))
            detail = "type " + std::to_string(ident->type) + " version " + std::to_string(ident->version) + ", ";
        detail += "reply " + HexBytes(reply, 16);
        break;
    }
    case VEK_NOTIFY_INCOMING_IDENTIFIED: detail = DescribeIdentification(DecodeIdentification(note.block)); break;
    case VEK_NOTIFY_EXCHANGE_FAILED:
    case VEK_NOTIFY_EXCHANGE_OK: detail = "efficiency " + std::to_string(m_efficiency.Value()) + "/10"; break;
    default: break;
    }
    char head[48];
    std::snprintf(head, sizeof head, "%7.2f s  %3d  ", static_cast<double>(note.ms) / 1000.0, note.code);
    std::string name = NotificationName(note.code);
    if (!detail.empty())
        name.resize(std::max<size_t>(name.size() + 2, 26), ' ');
    m_console.Line(head + m_console.Paint(name, StyleOf(note.code)) + detail);
}

WaitResult HostSession::WaitFor(WaitKind kind, std::initializer_list<int> wanted)
{
    return Wait(kind, wanted, nullptr);
}

WaitResult HostSession::WaitFor(WaitKind kind, std::initializer_list<int> wanted, std::initializer_list<int> failures)
{
    const std::vector<int> list(failures);
    return Wait(kind, wanted, &list);
}

std::optional<std::chrono::milliseconds> HostSession::Bound(WaitKind kind) const
{
    return m_options.timeout ? m_options.timeout : LibraryBound(kind, m_options.chunk);
}

WaitResult HostSession::Wait(WaitKind kind, std::initializer_list<int> wanted, const std::vector<int>* failures)
{
    m_lastBound = Bound(kind);
    const auto deadline = m_lastBound ? Clock::now() + *m_lastBound : Clock::time_point::max();
    for (;;) {
        while (m_cursor < m_notes.size()) {
            const Note& note = m_notes[m_cursor++];
            if (Contains(wanted, note.code))
                return {WaitOutcome::Arrived, note};
            const bool fails = failures != nullptr
                                   ? std::find(failures->begin(), failures->end(), note.code) != failures->end()
                                   : IsFailure(note.code);
            if (fails)
                return {WaitOutcome::Failed, note};
        }
        if (Interrupted())
            return {WaitOutcome::Interrupted, {}};
        if (Clock::now() >= deadline)
            return {WaitOutcome::TimedOut, {}};
        Pump(kPumpSliceMs);
    }
}

void HostSession::SetPanel(int linkMode, int expectedType, int expectedVersion)
{
    m_linkMode = linkMode;
    m_expectedType = expectedType;
    m_expectedVersion = expectedVersion;
}

void HostSession::BeginStage(CallStage stage, bool keepReceived)
{
    PollTrace();
    m_stage = stage;
    if (!keepReceived)
        m_stageMark = m_trace.size();
}

std::vector<uint8_t> HostSession::ReceivedSinceStage() const
{
    // The session is opened by the first frame sent after the dial: only
    // what came after it answers that frame (not CONNECT, not the
    // identification).
    bool counting = m_stage != CallStage::SessionOpen;
    std::vector<uint8_t> bytes;
    for (size_t i = std::min(m_stageMark, m_trace.size()); i < m_trace.size(); ++i) {
        const TraceRecord& record = m_trace[i];
        const auto isText = [](uint8_t b) { return b == '\r' || b == '\n' || (b >= 0x20 && b <= 0x7E); };
        if (!counting && record.kind == TraceKind::Sent &&
            !std::all_of(record.bytes.begin(), record.bytes.end(), isText))
            counting = true;
        if (counting && record.kind == TraceKind::Received)
            bytes.insert(bytes.end(), record.bytes.begin(), record.bytes.end());
    }
    return bytes;
}

ExitCode HostSession::Report(const WaitResult& result, std::string_view waitingFor)
{
    const std::string what(waitingFor);
    Cause cause;
    switch (result.outcome) {
    case WaitOutcome::Arrived: return ExitCode::Ok;
    case WaitOutcome::Failed: {
        const int code = result.note.code;
        PollTrace();
        cause = ExplainFailure({code, m_stage, m_linkMode, m_expectedType, m_expectedVersion, ReceivedSinceStage()});
        const std::string library = NotificationName(code) + " (" + std::to_string(code) + ")";
        std::string text =
            cause.text.empty() ? library + " while waiting for " + what : cause.text + " [library: " + library + "]";
        if (const std::string_view hint = FailureHint(code); !hint.empty() && cause.text.empty())
            text += "\n         " + std::string(hint);
        m_console.Error(text);
        break;
    }
    case WaitOutcome::TimedOut: {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_lastBound.value_or(0ms)).count();
        m_console.Error("timed out after " + std::to_string(seconds) + " s waiting for " + what +
                        (m_options.timeout ? " (--timeout)" : " (longer than the library takes to report by itself)"));
        break;
    }
    case WaitOutcome::Interrupted: m_console.Error("interrupted while waiting for " + what); break;
    }
    m_lastFailure = result;
    if (result.outcome == WaitOutcome::TimedOut)
        return ExitCode::TimedOut;
    if (result.outcome == WaitOutcome::Interrupted)
        return InterruptExit();
    if (cause.openCodeRefused)
        return ExitCode::OpenCodeRefused;
    return ExitCodeForNotification(result.note.code);
}

void HostSession::EndCall()
{
    if (!m_started)
        return;
    const WaitResult why = m_lastFailure.value_or(WaitResult{});
    const NotificationInfo* info = FindNotification(why.note.code);
    const bool libraryEnds = why.outcome == WaitOutcome::Failed && info != nullptr && info->libraryEndsCall;
    // A panel that stopped answering would hold up the hang-up frame.
    const bool panelAnswers =
        why.outcome == WaitOutcome::Failed || (why.outcome == WaitOutcome::Interrupted && m_sessionOpen);
    // A second signal ends the program at once (the handler resets itself).
    m_console.Line(m_console.Paint("Putting the line back on hook", Style::Bold) +
                   (Interrupted() ? "; Ctrl-C again to leave now" : "; Ctrl-C to leave now"));
    if (libraryEnds) {
        // The library is already hanging up.
    } else if (m_online && !panelAnswers) {
        VEKComm2_ForceHangUp();
    } else {
        VEKComm2_HangUp(0, 0);
    }
    DrainQuietly(Bound(WaitKind::HangUp).value_or(60s), VEK_NOTIFY_MODEM_READY);
}

void HostSession::DrainQuietly(std::chrono::milliseconds limit, int until)
{
    const auto deadline = Clock::now() + limit;
    const bool wasInterrupted = Interrupted();
    while (Clock::now() < deadline) {
        // The first signal during the hang-up means: leave now.
        if (!wasInterrupted && Interrupted())
            return;
        for (; m_cursor < m_notes.size(); ++m_cursor) {
            const int code = m_notes[m_cursor].code;
            // The modem will not answer again: stop waiting for it.
            if (code == until || code == VEK_NOTIFY_MODEM_FAILED || code == VEK_NOTIFY_PORT_UNAVAILABLE) {
                ++m_cursor;
                return;
            }
        }
        Pump(kPumpSliceMs);
    }
}

void HostSession::Settle(std::chrono::milliseconds quiet)
{
    const auto deadline = Clock::now() + kSettleLimit;
    while (Pump(static_cast<int>(quiet.count())) && Clock::now() < deadline) {
    }
}

bool HostSession::Pump(int ms)
{
    const bool any = VekPumpMessages(ms) > 0;
    if (m_idleDisconnect) {
        m_idleDisconnect = false;
        m_console.Line("the line was idle too long: hanging up");
        VEKComm2_HangUp(0, 0);
    }
    PollTrace();
    if (Clock::now() - m_lastStatus >= kStatusEvery)
        RefreshStatus();
    return any;
}

void HostSession::ReadFigures()
{
    if (!m_started || VekGetLineFigures(&m_figures) != 1)
        return;
    m_totals.sent = m_figures.bytesSent;
    m_totals.received = m_figures.bytesReceived;
}

void HostSession::PollTrace()
{
    std::vector<std::string> lines;
    {
        std::lock_guard lock(m_traceMutex);
        lines.swap(m_traceLines);
    }
    for (const std::string& line : lines) {
        std::optional<TraceRecord> parsed = ParseTraceLine(line);
        if (!parsed)
            continue;
        TraceRecord& record = *parsed;
        if (m_options.verbose) {
            char head[32];
            std::snprintf(head, sizeof head, "  trace %10llu ", static_cast<unsigned long long>(record.ms));
            const std::string what = DescribeBytes(m_traffic, record.kind, record.bytes);
            m_console.Line(m_console.Paint(head + record.text + (what.empty() ? "" : "  = " + what), Style::Dim));
        }
        m_trace.push_back(std::move(record));
    }
}

void HostSession::SetActivity(std::string activity)
{
    m_activity = std::move(activity);
    RefreshStatus();
}

void HostSession::RefreshStatus()
{
    m_lastStatus = Clock::now();
    if (m_started) {
        m_lineSpeed = VEKComm2_GetCurrentBaudRate();
        ReadFigures();
    }
    if (!m_console.Live())
        return;
    LinkStatus status;
    status.efficiency = m_efficiency.Value();
    status.lineSpeed = m_lineSpeed;
    status.sent = m_totals.sent;
    status.received = m_totals.received;
    status.retries = m_efficiency.Retries();
    status.activity = m_activity;
    m_console.Status(FormatStatus(status));
}

} // namespace vekhost
