#include "Summary.h"

#include "vekhost/HexDump.h"
#include "vekhost/JsonReport.h"
#include "vekhost/Traffic.h"

#include <cstdio>

namespace vekhost {
namespace {

void Row(Console& out, std::string_view label, const std::string& text)
{
    std::string padded(label);
    padded.resize(12, ' ');
    out.Line("  " + padded + text);
}

} // namespace

void PrintTraffic(Console& out, const HostRun& run)
{
    const std::vector<TrafficRow> rows = GroupTraffic(run.Trace());
    out.Line("");
    out.Line(out.Paint("Line traffic", Style::Bold) + " (from the library's trace; TX sent to the modem, RX received)");
    if (rows.empty()) {
        out.Line("  nothing was traced");
        return;
    }
    for (const std::string& line : FormatTraffic(rows, 16, &run.Traffic()))
        out.Line(line);
}

void PrintSummary(Console& out, const HostRun& run, const SummaryFacts& facts)
{
    const ExitCode code = facts.outcome.code;
    out.Line("");
    out.Line(out.Paint("Summary", Style::Bold));
    const std::string result = std::string(ExitMeaning(code)) + " (exit " + std::to_string(ToInt(code)) + ")";
    Row(out, "result", out.Paint(result, code == ExitCode::Ok ? Style::Good : Style::Bad));
    char text[128];
    if (const uint64_t callMs = run.CallMs(); callMs > 0) {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(callMs) / 1000.0);
        Row(out, "call", text);
    }
    const TransferTotals& t = run.Totals();
    if (t.transfers > 0 || t.bytesRead > 0) {
        std::snprintf(text, sizeof text, "%d done: %llu bytes read, %llu bytes written", t.transfers,
                      static_cast<unsigned long long>(t.bytesRead), static_cast<unsigned long long>(t.bytesWritten));
        Row(out, "transfers", text);
    }
    for (const SavedRecord& s : t.saved)
        Row(out, "saved",
            std::to_string(s.bytes) + (s.bytes < s.asked ? " of " + std::to_string(s.asked) : std::string()) +
                " bytes to " + s.where);
    const vek::LineStatus& line = run.Line();
    std::snprintf(text, sizeof text, "%llu bytes sent, %llu bytes received",
                  static_cast<unsigned long long>(line.bytesSent), static_cast<unsigned long long>(line.bytesReceived));
    // A port that never opened has no line speed to show.
    const int speed = run.PortOpened() ? line.lineSpeed : 0;
    Row(out, "line", (speed > 0 ? std::to_string(speed) + " bit/s; " : std::string()) + text);
    std::snprintf(text, sizeof text, "efficiency %d/10, %d retries", run.LinkEfficiency().Value(),
                  run.LinkEfficiency().Retries());
    Row(out, "link", text);
    for (const auto& [label, value] : facts.extra)
        Row(out, label, value);
}

void PrintJsonSummary(const char* command, const Console& out, const HostRun& run, const SummaryFacts& facts)
{
    CallReport r;
    r.command = command;
    r.exitCode = ToInt(facts.outcome.code);
    r.meaning = ExitMeaning(facts.outcome.code);
    if (facts.outcome.code != ExitCode::Ok) {
        r.error = out.LastError();
        r.cause = facts.outcome.cause;
        r.libraryCode = facts.outcome.libraryCode;
        r.panelReason = facts.outcome.panelReason;
    }
    for (const Note& note : run.Notes()) {
        r.notes.push_back({note.code, note.ms});
        if (note.code != 90 && note.code != 13)
            continue;
        const vek::Identification ident = vek::decodeIdentification(note.block, note.code == 13);
        if (ident.format.empty() && note.code == 90)
            continue;
        r.panelType = ident.type;
        r.panelVersion = ident.version;
        r.identificationReply = HexBytes(ident.reply);
    }
    r.callMs = run.CallMs();
    const TransferTotals& t = run.Totals();
    r.transfers = t.transfers;
    r.bytesRead = t.bytesRead;
    r.bytesWritten = t.bytesWritten;
    r.saved = t.saved;
    r.lineSpeed = run.PortOpened() ? run.Line().lineSpeed : 0;
    r.bytesSent = run.Line().bytesSent;
    r.bytesReceived = run.Line().bytesReceived;
    r.efficiency = run.LinkEfficiency().Value();
    r.retries = run.LinkEfficiency().Retries();
    const std::string text = CallReportJson(r);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace vekhost
