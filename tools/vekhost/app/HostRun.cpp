#include "HostRun.h"

#include "vekhost/HexDump.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vekhost {
namespace {

using namespace std::chrono_literals;

constexpr auto kStatusEvery = 200ms;

std::string Hex16(uint32_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

Style StyleOf(int code)
{
    switch (vek::notificationKind(code)) {
    case vek::NotificationKind::Failure: return Style::Bad;
    case vek::NotificationKind::Progress: return Style::Good;
    default: return Style::Plain;
    }
}

std::string DescribeIncoming(const vek::Identification& info)
{
    char text[128];
    std::snprintf(text, sizeof text, "type %d, version %d.%d, identification %02X %02X %02X, flags 0x%02X", info.type,
                  info.version, info.subVersion, info.idBytes[0], info.idBytes[1], info.idBytes[2], info.flags);
    return text;
}

// Checked after the data is flushed and the file closed: a full disk or a
// file that takes no writes fails there, not at the write.
std::string SaveFile(const std::string& path, std::span<const uint8_t> bytes)
{
    if (path == kStandardOutput) {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
            return std::strerror(errno);
        return {};
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return std::strerror(errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written)
        return std::strerror(error);
    if (!closed)
        return std::strerror(errno);
    return {};
}

bool CallIsFine(ExitCode code)
{
    // A file not saved or a short read leave the call as it was.
    return code == ExitCode::Ok || code == ExitCode::Failed || code == ExitCode::ShortRead;
}

} // namespace

namespace {

// The console of the run in progress, for the library's idle call, which
// comes on the library's own thread.
std::atomic<Console*> g_console{nullptr};
std::atomic<int64_t> g_startMs{0};

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

void ReportIdleRequest(int what, int arg)
{
    Console* out = g_console.load();
    if (out == nullptr)
        return;
    char text[96];
    std::snprintf(text, sizeof text, "%7.2f s       the line is idle: asked for work (%d, %d), none to add",
                  static_cast<double>(NowMs() - g_startMs.load()) / 1000.0, what, arg);
    out->Line(text);
}

HostRun::HostRun(Console& out, const GlobalOptions& global) : m_out(out), m_global(global)
{
    g_startMs = NowMs();
    g_console = &m_out;
}

HostRun::~HostRun()
{
    g_console = nullptr;
    {
        std::lock_guard lock(m_statusMutex);
        m_statusStop = true;
    }
    m_statusWake.notify_all();
    if (m_status.joinable())
        m_status.join();
    m_library.reset();
}

bool HostRun::PortOpened() const
{
    return std::any_of(m_notes.begin(), m_notes.end(),
                       [](const Note& note) { return note.code == 9 || note.code == 32 || note.code == 90 || note.code == 13; });
}

uint64_t HostRun::CallMs() const
{
    std::optional<uint64_t> start;
    for (const Note& note : m_notes) {
        if (!start && (note.code == 30 || note.code == 32 || note.code == 13))
            start = note.ms;
        if (start && note.code == 8)
            return note.ms > *start ? note.ms - *start : 0;
    }
    return start && m_endMs > *start ? m_endMs - *start : 0;
}

RunOutcome HostRun::Run(const CallPlan& plan, bool answer)
{
    m_panel = plan.panel;
    m_traffic = {plan.panel.linkMode, plan.transferSettings.readCommand, (plan.panel.options & 0x0080) != 0};
    m_out.Line(m_out.Paint("Starting the library", Style::Bold));
    vek::LibraryOptions options;
    options.dataFolder = plan.dataFolder;
    options.onEvent = [this](const vek::Notification& event) { OnEvent(event); };
    options.onTrace = [this](const vek::TraceEntry& entry) { OnTrace(entry); };
    try {
        m_library = std::make_unique<vek::Library>(options);
        m_library->setModem(plan.modem);
    } catch (const vek::Error& e) {
        m_out.Error(e.what());
        m_library.reset();
        return {ExitCode::LibraryStart, std::nullopt, std::nullopt, std::string(vek::causeName(e.cause()))};
    }
    m_interrupts.SetCancel([this] { m_library->cancel(); });
    if (m_out.Live())
        m_status = std::thread([this] { StatusLoop(); });
    RunOutcome outcome = Call(plan, answer);
    {
        std::lock_guard lock(m_statusMutex);
        m_statusStop = true;
    }
    m_statusWake.notify_all();
    if (m_status.joinable())
        m_status.join();
    try {
        m_line = m_library->lineStatus();
    } catch (const vek::Error&) {
    }
    m_interrupts.SetCancel({});
    m_library.reset(); // every callback has run once it returns
    m_out.ClearStatus();
    if (m_notes.empty() || !m_endMs)
        m_endMs = m_notes.empty() ? 0 : m_notes.back().ms;
    return outcome;
}

RunOutcome HostRun::Call(const CallPlan& plan, bool answer)
{
    RunOutcome outcome;
    vek::CallOptions options;
    options.timeout = TimeoutOf(m_global);
    std::optional<vek::Call> call;
    try {
        if (answer) {
            m_out.Line(m_out.Paint("Waiting for a panel to call in on COM" + std::to_string(plan.modem.port),
                                   Style::Bold));
            call.emplace(m_library->answer(plan.panel, options));
        } else if (plan.modem.pcLink) {
            m_out.Line(m_out.Paint("Polling the panel on the direct link", Style::Bold));
            call.emplace(m_library->dial(plan.panel, options));
        } else {
            m_out.Line(m_out.Paint("Resetting the modem on COM" + std::to_string(plan.modem.port), Style::Bold));
            m_callLine = "Calling " + plan.panel.phone;
            m_announceCall = true;
            call.emplace(m_library->dial(plan.panel, options));
        }
    } catch (const vek::Error& e) {
        m_announceCall = false;
        outcome.code = Report(e, outcome);
        EndCall(nullptr);
        return outcome;
    }
    RunOutcome transfers = Transfers(*call, plan);
    if (!CallIsFine(transfers.code)) {
        EndCall(&*call);
        return transfers;
    }
    const ExitCode hungUp = HangUp(*call, plan, transfers);
    if (transfers.code == ExitCode::Ok)
        transfers.code = hungUp;
    return transfers;
}

RunOutcome HostRun::Transfers(vek::Call& call, const CallPlan& plan)
{
    RunOutcome outcome;
    bool saveFailed = false;
    for (const TransferArgument& item : plan.transfers) {
        const ExitCode code =
            item.kind == TransferKind::Write ? RunWrite(call, item, plan, outcome) : RunRead(call, item, plan, outcome);
        if (code == ExitCode::Failed) {
            saveFailed = true; // the call itself is fine: go on
            continue;
        }
        if (code != ExitCode::Ok) {
            outcome.code = code;
            return outcome;
        }
    }
    outcome.code = saveFailed ? ExitCode::Failed : ExitCode::Ok;
    return outcome;
}

vek::TransferOptions HostRun::Options(const CallPlan& plan, bool write, uint32_t address)
{
    vek::TransferOptions options;
    options.timeout = TimeoutOf(m_global);
    options.chunk = plan.transferSettings.chunk;
    options.command = write ? plan.transferSettings.writeCommand : plan.transferSettings.readCommand;
    const std::string verb = write ? "writing" : "reading";
    const uint32_t chunk = plan.transferSettings.chunk;
    m_lastQuarter = 0;
    options.progress = [this, verb, address, chunk](uint32_t done, uint32_t total) {
        ShowProgress(verb, address, done, total, chunk);
    };
    return options;
}

ExitCode HostRun::RunWrite(vek::Call& call, const TransferArgument& item, const CallPlan& plan, RunOutcome& outcome)
{
    const std::string what = "Writing " + std::to_string(item.bytes.size()) + " bytes at " + Hex16(item.address);
    m_out.Line(m_out.Paint(what, Style::Bold) +
               (item.file.empty() ? ": " + HexBytes(item.bytes, 16) : " from " + item.file));
    try {
        call.write(item.address, item.bytes, Options(plan, true, item.address));
    } catch (const vek::TransferError& e) {
        return Report(e, outcome);
    } catch (const vek::Error& e) {
        return Report(e, outcome);
    }
    m_totals.bytesWritten += item.bytes.size();
    ++m_totals.transfers;
    return ExitCode::Ok;
}

ExitCode HostRun::RunRead(vek::Call& call, const TransferArgument& item, const CallPlan& plan, RunOutcome& outcome)
{
    m_out.Line(m_out.Paint("Reading " + std::to_string(item.count) + " bytes at " + Hex16(item.address), Style::Bold));
    std::vector<uint8_t> data;
    ExitCode code = ExitCode::Ok;
    try {
        data = call.read(item.address, item.count, Options(plan, false, item.address));
        ++m_totals.transfers;
    } catch (const vek::TransferError& e) {
        // What was read before a failure or Ctrl-C is kept all the same.
        data = e.data();
        code = Report(e, outcome);
    } catch (const vek::Error& e) {
        code = Report(e, outcome);
    }
    m_totals.bytesRead += data.size();
    const bool partial = code != ExitCode::Ok;
    if (partial && data.empty())
        return code;
    if (item.file.empty()) {
        for (const std::string& line : HexDumpLines(item.address, data))
            m_out.Line("  " + line);
        return code;
    }
    if (const std::string error = SaveFile(item.file, data); !error.empty()) {
        m_out.Error("cannot write " + item.file + ": " + error);
        return partial ? code : ExitCode::Failed;
    }
    const std::string where = item.file == kStandardOutput ? "standard output" : item.file;
    m_out.Line("  saved " + std::to_string(data.size()) + (partial ? " of " + std::to_string(item.count) : "") +
               " bytes to " + where + (partial ? " (the read did not finish)" : ""));
    m_totals.saved.push_back({where, data.size(), item.count});
    return code;
}

ExitCode HostRun::HangUp(vek::Call& call, const CallPlan& plan, RunOutcome& outcome)
{
    m_out.Line(m_out.Paint(plan.forceHangUp ? "Hanging up at once (abort pattern)" : "Hanging up", Style::Bold));
    try {
        plan.forceHangUp ? call.forceHangUp() : call.hangUp();
    } catch (const vek::Error& e) {
        return Report(e, outcome);
    }
    return ExitCode::Ok;
}

void HostRun::EndCall(vek::Call* call)
{
    const bool interrupted = m_interrupts.Interrupted();
    m_out.Line(m_out.Paint("Putting the line back on hook", Style::Bold) +
               (interrupted ? "; Ctrl-C again to leave now" : "; Ctrl-C to leave now"));
    try {
        if (call != nullptr && call->isOpen()) {
            call->hangUp();
        } else if (!m_library->waitIdle()) {
            m_out.Error("the line may still be up: the hang-up did not finish (the port is closed now, which drops "
                        "DTR)");
        }
    } catch (const vek::Error& e) {
        m_out.Error(std::string(e.what()) + (e.cause() == vek::Cause::Cancelled ? "" : ""));
        if (e.cause() == vek::Cause::Cancelled || e.cause() == vek::Cause::TimedOut)
            m_out.Error("the line may still be up (the port is closed now, which drops DTR)");
    }
}

ExitCode HostRun::Report(const vek::Error& error, RunOutcome& outcome)
{
    std::string text = error.what();
    if (error.cause() == vek::Cause::TimedOut && m_global.timeoutSeconds > 0)
        text += " (--timeout)";
    if (!error.hint().empty())
        text += "\n         " + error.hint();
    m_out.Error(text);
    outcome.libraryCode = error.code() != 0 ? std::optional(error.code()) : std::nullopt;
    outcome.panelReason = error.panelReason();
    outcome.cause = vek::causeName(error.cause());
    if (error.cause() == vek::Cause::Cancelled)
        return m_interrupts.Exit();
    return ExitCodeForCause(error.cause(), error.panelReason());
}

void HostRun::OnEvent(const vek::Notification& event)
{
    if (event.kind == vek::Notification::Kind::IdleDisconnect) {
        m_out.Line("the line was idle too long: hanging up");
        return;
    }
    Note note{event.code, static_cast<uint64_t>(event.at.count()), event.block};
    m_endMs = note.ms;
    m_efficiency.Apply(event.code);
    PrintNote(note);
    if (event.code == 9 && m_announceCall.exchange(false))
        m_out.Line(m_out.Paint(m_callLine, Style::Bold));
    if (event.code == 13) {
        const vek::Identification info = vek::decodeIdentification(event.block, true);
        m_out.Line("  reply " + HexBytes(info.reply, 24));
        if (info.type != m_panel.type || info.version != m_panel.version)
            m_out.Line(m_out.Paint("  note: the panel record expects type " + std::to_string(m_panel.type) +
                                       " version " + std::to_string(m_panel.version),
                                   Style::Bad));
        m_out.Line(m_out.Paint("Opening the session", Style::Bold));
    }
    m_notes.push_back(std::move(note));
}

void HostRun::PrintNote(const Note& note)
{
    // Quiet: the per-request codes of a long transfer are left out.
    if (m_global.quiet && (note.code == 5 || note.code == 6 || note.code == 91 || note.code == 92))
        return;
    std::string detail;
    switch (note.code) {
    case 6: detail = std::to_string(note.block.size()) + " bytes"; break;
    case 5:
        if (!note.block.empty())
            detail = "reply of " + std::to_string(note.block.size()) + " bytes";
        break;
    case 90: {
        const vek::Identification ident = vek::decodeIdentification(note.block, false);
        if (!ident.format.empty())
            detail = "type " + std::to_string(ident.type) + " version " + std::to_string(ident.version) + ", ";
        detail += "reply " + HexBytes(ident.reply, 16);
        break;
    }
    case 13: detail = DescribeIncoming(vek::decodeIdentification(note.block, true)); break;
    case 91:
    case 92: detail = "efficiency " + std::to_string(m_efficiency.Value()) + "/10"; break;
    default: break;
    }
    char head[48];
    std::snprintf(head, sizeof head, "%7.2f s  %3d  ", static_cast<double>(note.ms) / 1000.0, note.code);
    std::string name = vek::notificationName(note.code);
    if (!detail.empty())
        name.resize(std::max<size_t>(name.size() + 2, 26), ' ');
    m_out.Line(head + m_out.Paint(name, StyleOf(note.code)) + detail);
}

void HostRun::OnTrace(const vek::TraceEntry& entry)
{
    TraceRecord record;
    record.ms = entry.ms;
    record.text = entry.text;
    record.bytes = entry.bytes;
    record.kind = entry.kind == vek::TraceEntry::Kind::Sent       ? TraceKind::Sent
                  : entry.kind == vek::TraceEntry::Kind::Received ? TraceKind::Received
                                                                  : TraceKind::Step;
    if (m_global.verbose) {
        char head[32];
        std::snprintf(head, sizeof head, "  trace %10llu ", static_cast<unsigned long long>(record.ms));
        const std::string what = DescribeBytes(m_traffic, record.kind, record.bytes);
        m_out.Line(m_out.Paint(head + record.text + (what.empty() ? "" : "  = " + what), Style::Dim));
    }
    m_trace.push_back(std::move(record));
}

void HostRun::ShowProgress(const std::string& verb, uint32_t address, uint32_t done, uint32_t total, uint32_t chunk)
{
    const std::string what = verb + " " + Hex16(address);
    if (m_out.Live()) {
        std::lock_guard lock(m_statusMutex);
        m_activity = done < total ? FormatProgress(what, done, total) : std::string();
        return;
    }
    // Plain output: a line at each quarter of a transfer of several pieces;
    // quiet keeps to one line per transfer.
    if (m_global.quiet)
        return;
    const int quarter = total == 0 ? 4 : static_cast<int>(uint64_t{done} * 4 / total);
    if (quarter == m_lastQuarter || total <= chunk)
        return;
    m_lastQuarter = quarter;
    m_out.Line("  " + what + ": " + std::to_string(done) + "/" + std::to_string(total) + " bytes");
}

void HostRun::StatusLoop()
{
    std::unique_lock lock(m_statusMutex);
    while (!m_statusStop) {
        const std::string activity = m_activity;
        lock.unlock();
        try {
            const vek::LineStatus line = m_library->lineStatus();
            LinkStatus status;
            status.efficiency = line.efficiency;
            status.lineSpeed = line.lineSpeed;
            status.sent = line.bytesSent;
            status.received = line.bytesReceived;
            status.retries = line.retries;
            status.activity = activity;
            m_out.Status(FormatStatus(status));
        } catch (const vek::Error&) {
        }
        lock.lock();
        m_statusWake.wait_for(lock, kStatusEvery, [this] { return m_statusStop; });
    }
}

} // namespace vekhost
