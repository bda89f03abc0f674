// vekhost call and vekhost answer: a real port and a real panel.
#include "Commands.h"
#include "Summary.h"
#include "TraceFile.h"

#include "vekhost/Console.h"

#include "vek_comm2.h"

#include <chrono>
#include <cstdlib>

namespace vekhost {
namespace {

void MapPort(Console& out, const LineOptions& line, int port)
{
    if (!line.dataFolder.empty())
        VekSetDataFolder(line.dataFolder.c_str());
    if (line.device.empty())
        return;
    // The command line wins: the library would take the environment first.
    const std::string variable = "VEK_COM" + std::to_string(port);
    if (const char* env = std::getenv(variable.c_str()); env != nullptr) {
        if (line.device != env)
            out.Error("note: --device " + line.device + " wins over " + variable + "=" + env + " from the environment");
        ::unsetenv(variable.c_str());
    }
    VekSetPortDevice(port, line.device.c_str());
}

std::string Describe(const CallPlan& plan, const LineOptions& line)
{
    const std::string device = line.device.empty() ? "" : " (" + line.device + ")";
    std::string text = "COM" + std::to_string(plan.modem.port) + device + " at " + std::to_string(plan.modem.speed) +
                       " bit/s" + (plan.modem.pcLink ? ", direct PC link" : "");
    text += "; panel type " + std::to_string(plan.panel.type) + " version " + std::to_string(plan.panel.version) +
            ", link mode " + std::to_string(plan.panel.linkMode);
    return text;
}

ExitCode Run(const GlobalOptions& global, const LineOptions& line, const CallPlan& plan, bool answer)
{
    // Raw bytes on standard output: every message goes to stderr.
    Console out = Console::ForTerminal(global.json || ReadsToStandardOutput(plan.transfers));
    TraceFile trace;
    InstallInterruptHandler();
    out.Line(out.Paint(answer ? "vekhost answer: " : "vekhost call: ", Style::Bold) + Describe(plan, line));
    MapPort(out, line, plan.modem.port);

    HostSession session(out, SessionOptionsFor(global, plan.transferSettings.chunk));
    CallFlow flow(session, plan);
    Transfers transfers(session, plan.transferSettings);
    const ExitCode code = RunCallPlan(flow, transfers, answer);
    session.Stop();

    if (plan.showTraffic)
        PrintTraffic(out, session);
    SummaryFacts facts;
    facts.code = code;
    facts.callMs = flow.CallMs();
    // A port that never opened has no line speed to show.
    facts.lineSpeed = session.PortOpened() ? session.LineSpeed() : 0;
    facts.transfers = transfers.Totals();
    if (!trace.Path().empty())
        facts.extra.emplace_back("trace", trace.Path());
    PrintSummary(out, session, facts);
    if (global.json)
        PrintJsonSummary(answer ? "answer" : "call", out, session, facts);
    return code;
}

} // namespace

ExitCode RunCall(const GlobalOptions& global, const LineOptions& line, const CallPlan& plan)
{
    return Run(global, line, plan, false);
}

ExitCode RunAnswer(const GlobalOptions& global, const LineOptions& line, const CallPlan& plan)
{
    return Run(global, line, plan, true);
}

} // namespace vekhost
