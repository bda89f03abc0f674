// The host side of the library: the message window that receives 1075, the
// loop that pumps this thread's messages, and waits for notifications.
// Everything here runs on the thread that called VEKComm2_Init.
#pragma once

#include "vekhost/Causes.h"
#include "vekhost/Console.h"
#include "vekhost/ExitCodes.h"
#include "vekhost/FrameDescription.h"
#include "vekhost/StatusLine.h"
#include "vekhost/TraceReader.h"
#include "vekhost/WaitBounds.h"

#include "vek_host.h"

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vekhost {

struct Note {
    int code = 0;
    uint64_t ms = 0; // since vekhost started
    std::vector<uint8_t> block;
};

enum class WaitOutcome { Arrived, Failed, TimedOut, Interrupted };

struct WaitResult {
    WaitOutcome outcome = WaitOutcome::TimedOut;
    Note note;
    bool Ok() const { return outcome == WaitOutcome::Arrived; }
};

struct SessionOptions {
    // --timeout: bounds every wait; without it each wait lasts as long as
    // the library may take to report by itself.
    std::optional<std::chrono::milliseconds> timeout;
    uint32_t chunk = 64;
    bool verbose = false;
    bool quiet = false;
};

class HostSession {
public:
    HostSession(Console& console, SessionOptions options);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Creates the window and starts the library on this thread.
    bool Start();
    HWND Window() const { return m_window; }
    Console& Out() { return m_console; }

    // Pumps until one of the wanted codes arrives; a failure code ends the
    // wait first unless failures is given (then only those do).
    WaitResult WaitFor(WaitKind kind, std::initializer_list<int> wanted);
    WaitResult WaitFor(WaitKind kind, std::initializer_list<int> wanted, std::initializer_list<int> failures);
    // What the call is doing now and the panel it talks to: a failure is
    // explained from the bytes received since the stage began.
    void SetPanel(int linkMode, int expectedType, int expectedVersion);
    void SetTraffic(TrafficContext context) { m_traffic = context; }
    const TrafficContext& Traffic() const { return m_traffic; }
    void BeginStage(CallStage stage, bool keepReceived = false);
    // The exit code for a wait that did not get what it wanted.
    ExitCode Report(const WaitResult& result, std::string_view waitingFor);

    // After a failed wait: puts the line back on hook, whatever state the
    // call is in, and waits (bounded) for the modem to be ready again.
    void EndCall();
    // Pumps until no message has come for the quiet time (bounded).
    void Settle(std::chrono::milliseconds quiet);
    void Stop();

    void SetActivity(std::string activity);
    void RefreshStatus();
    bool Online() const { return m_online; }
    bool Quiet() const { return m_options.quiet; }
    const Efficiency& LinkEfficiency() const { return m_efficiency; }
    // Bytes each way as the library counted them.
    const TraceTotals& Totals() const { return m_totals; }
    const std::vector<TraceRecord>& Trace() const { return m_trace; }
    const std::vector<Note>& Notes() const { return m_notes; }
    uint64_t ElapsedMs() const;
    // The line speed the library last reported.
    int LineSpeed() const { return m_lineSpeed; }
    // The modem answered or a call connected: the port was open.
    bool PortOpened() const;
    void PollTrace();
    // The library's own counts of the line (bytes each way).
    void ReadFigures();

private:
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Runs on library threads: only queues the line for this thread.
    static void OnTraceLine(const char* line, void* context);
    void OnNotification(int code, LPARAM lParam);
    void PrintNote(const Note& note);
    WaitResult Wait(WaitKind kind, std::initializer_list<int> wanted, const std::vector<int>* failures);
    std::optional<std::chrono::milliseconds> Bound(WaitKind kind) const;
    bool Pump(int ms);
    void DrainQuietly(std::chrono::milliseconds limit, int until);
    std::vector<uint8_t> ReceivedSinceStage() const;

    Console& m_console;
    SessionOptions m_options;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastStatus;
    HWND m_window = 0;
    bool m_started = false;
    bool m_online = false;
    bool m_sessionOpen = false;
    bool m_idleDisconnect = false;
    int m_lineSpeed = 0;
    std::optional<WaitResult> m_lastFailure;
    std::optional<std::chrono::milliseconds> m_lastBound;
    CallStage m_stage = CallStage::ModemReady;
    size_t m_stageMark = 0;
    int m_linkMode = 2;
    int m_expectedType = 0;
    int m_expectedVersion = 0;
    TrafficContext m_traffic;
    std::vector<Note> m_notes;
    size_t m_cursor = 0;
    Efficiency m_efficiency;
    std::mutex m_traceMutex;
    std::vector<std::string> m_traceLines; // from the hook, not yet read
    VekLineFigures m_figures{};
    std::vector<TraceRecord> m_trace;
    TraceTotals m_totals;
    std::string m_activity;
};

// Called by the host's VEKOnlineReqProcess: the line is idle.
void ReportIdleRequest(int what, int arg);

// Ctrl-C (or SIGTERM) asks the running wait to stop; a second one ends the
// program.
void InstallInterruptHandler();
bool Interrupted();
// 130 after Ctrl-C, 143 after SIGTERM.
ExitCode InterruptExit();

} // namespace vekhost
