// One run of vekhost on vek_client: the Library with its callbacks (every
// notification printed by name, the trace kept for the traffic view), the
// call, its transfers and the hang-up, and what the summary shows.
#pragma once

#include "Commands.h"
#include "Interrupts.h"

#include "vekhost/Console.h"
#include "vekhost/ExitCodes.h"
#include "vekhost/FrameDescription.h"
#include "vekhost/JsonReport.h"
#include "vekhost/StatusLine.h"
#include "vekhost/TraceReader.h"

#include "vek/client.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vekhost {

struct Note {
    int code = 0;
    uint64_t ms = 0; // since the library started
    std::vector<uint8_t> block;
};

struct TransferTotals {
    int transfers = 0;
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
    std::vector<SavedRecord> saved; // reads saved to files or stdout
};

// What ended the run, for the summary and the JSON document.
struct RunOutcome {
    ExitCode code = ExitCode::Ok;
    std::optional<int> libraryCode;
    std::optional<int> panelReason;
    std::string cause;
};

class HostRun {
public:
    HostRun(Console& out, const GlobalOptions& global);
    ~HostRun();
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;

    // Starts the library, runs the plan's call and transfers, hangs up and
    // stops the library; the outcome's code is the exit code.
    RunOutcome Run(const CallPlan& plan, bool answer);

    const std::vector<Note>& Notes() const { return m_notes; }
    const std::vector<TraceRecord>& Trace() const { return m_trace; }
    const TrafficContext& Traffic() const { return m_traffic; }
    const TransferTotals& Totals() const { return m_totals; }
    const Efficiency& LinkEfficiency() const { return m_efficiency; }
    const vek::LineStatus& Line() const { return m_line; }
    // A port was opened: the modem answered or a call connected.
    bool PortOpened() const;
    // From dialling (or the answered connection) to on hook; 0 without a call.
    uint64_t CallMs() const;

private:
    RunOutcome Call(const CallPlan& plan, bool answer);
    RunOutcome Transfers(vek::Call& call, const CallPlan& plan);
    ExitCode RunRead(vek::Call& call, const TransferArgument& item, const CallPlan& plan, RunOutcome& outcome);
    ExitCode RunWrite(vek::Call& call, const TransferArgument& item, const CallPlan& plan, RunOutcome& outcome);
    ExitCode HangUp(vek::Call& call, const CallPlan& plan, RunOutcome& outcome);
    // After a failure: back on hook, bounded; says so when it could not.
    void EndCall(vek::Call* call);
    ExitCode Report(const vek::Error& error, RunOutcome& outcome);
    vek::TransferOptions Options(const CallPlan& plan, bool write, uint32_t address);

    void OnEvent(const vek::Notification& event);
    void OnTrace(const vek::TraceEntry& entry);
    void PrintNote(const Note& note);
    void ShowProgress(const std::string& verb, uint32_t address, uint32_t done, uint32_t total, uint32_t chunk);
    void StatusLoop();

    Console& m_out;
    GlobalOptions m_global;
    Interrupts m_interrupts;
    std::unique_ptr<vek::Library> m_library;

    // Written on the library's callback thread while the library runs, read
    // by the main thread once it has stopped (its threads are joined).
    std::vector<Note> m_notes;
    std::vector<TraceRecord> m_trace;
    Efficiency m_efficiency;
    int m_lastQuarter = -1;
    std::atomic<bool> m_announceCall{false}; // "Calling" once the modem is ready
    std::string m_callLine;
    vek::Panel m_panel; // for the note on an answered call

    TrafficContext m_traffic;
    TransferTotals m_totals;
    vek::LineStatus m_line;
    uint64_t m_endMs = 0;

    // The live status line, redrawn while a call runs.
    std::mutex m_statusMutex; // guards m_activity and m_statusStop
    std::condition_variable m_statusWake;
    std::string m_activity;
    bool m_statusStop = false;
    std::thread m_status;
};

} // namespace vekhost
