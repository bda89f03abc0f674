#include "Summary.h"

#include "vekhost/Causes.h"
#include "vekhost/HexDump.h"
#include "vekhost/Identification.h"
#include "vekhost/JsonReport.h"
#include "vekhost/Traffic.h"

#include "vek_comm2.h"

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

void PrintTraffic(Console& out, const HostSession& session)
{
    const std::vector<TrafficRow> rows = GroupTraffic(session.Trace());
    out.Line("");
    out.Line(out.Paint("Line traffic", Style::Bold) + " (from the library's trace; TX sent to the modem, RX received)");
    if (rows.empty()) {
        out.Line("  nothing was traced");
        return;
    }
    for (const std::string& line : FormatTraffic(rows, 16, &session.Traffic()))
        out.Line(line);
}

void PrintSummary(Console& out, const HostSession& session, const SummaryFacts& facts)
{
    const ExitCode code = facts.code;
    out.Line("");
    out.Line(out.Paint("Summary", Style::Bold));
    const std::string result = std::string(ExitMeaning(code)) + " (exit " + std::to_string(ToInt(code)) + ")";
    Row(out, "result", out.Paint(result, code == ExitCode::Ok ? Style::Good : Style::Bad));
    char text[128];
    if (facts.callMs > 0) {
        std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(facts.callMs) / 1000.0);
        Row(out, "call", text);
    }
    const TransferTotals& t = facts.transfers;
    if (t.transfers > 0) {
        std::snprintf(text, sizeof text, "%d done: %llu bytes read, %llu bytes written", t.transfers,
                      static_cast<unsigned long long>(t.bytesRead), static_cast<unsigned long long>(t.bytesWritten));
        Row(out, "transfers", text);
    }
    for (const SavedRecord& s : t.saved)
        Row(out, "saved",
            std::to_string(s.bytes) + (s.bytes < s.asked ? " of " + std::to_string(s.asked) : std::string()) +
                " bytes to " + s.where);
    const TraceTotals& line = session.Totals();
    std::snprintf(text, sizeof text, "%llu bytes sent, %llu bytes received", static_cast<unsigned long long>(line.sent),
                  static_cast<unsigned long long>(line.received));
    Row(out, "line", (facts.lineSpeed > 0 ? std::to_string(facts.lineSpeed) + " bit/s; " : std::string()) + text);
    std::snprintf(text, sizeof text, "efficiency %d/10, %d retries", session.LinkEfficiency().Value(),
                  session.LinkEfficiency().Retries());
    Row(out, "link", text);
    for (const auto& [label, value] : facts.extra)
        Row(out, label, value);
}

void PrintJsonSummary(const char* command, const Console& out, const HostSession& session, const SummaryFacts& facts)
{
    CallReport r;
    r.command = command;
    r.exitCode = ToInt(facts.code);
    r.meaning = ExitMeaning(facts.code);
    if (facts.code != ExitCode::Ok)
        r.error = out.LastError();
    for (const Note& note : session.Notes()) {
        r.notes.push_back({note.code, note.ms});
        std::vector<uint8_t> reply;
        if (note.code == VEK_NOTIFY_IDENTIFIED)
            reply = TrimReply(note.block);
        else if (note.code == VEK_NOTIFY_INCOMING_IDENTIFIED)
            reply = DecodeIdentification(note.block).reply;
        if (const auto ident = reply.empty() ? std::nullopt : FindIdentification(reply)) {
            r.panelType = ident->type;
            r.panelVersion = ident->version;
            r.identificationReply = HexBytes(reply);
        }
    }
    r.callMs = facts.callMs;
    r.transfers = facts.transfers.transfers;
    r.bytesRead = facts.transfers.bytesRead;
    r.bytesWritten = facts.transfers.bytesWritten;
    r.saved = facts.transfers.saved;
    r.lineSpeed = facts.lineSpeed;
    r.bytesSent = session.Totals().sent;
    r.bytesReceived = session.Totals().received;
    r.efficiency = session.LinkEfficiency().Value();
    r.retries = session.LinkEfficiency().Retries();
    const std::string text = CallReportJson(r);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace vekhost
