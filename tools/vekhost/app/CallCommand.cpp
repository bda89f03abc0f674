// vekhost call and vekhost answer: a real port and a real panel.
#include "Commands.h"
#include "HostRun.h"
#include "Summary.h"
#include "TraceFile.h"

#include "vekhost/Console.h"

#include <cstdlib>

namespace vekhost {
namespace {

// The command line wins over VEK_COM<n>; the client removes the variable.
void NoteDevice(Console& out, const vek::Modem& modem)
{
    if (modem.device.empty())
        return;
    const std::string variable = "VEK_COM" + std::to_string(modem.port);
    if (const char* env = std::getenv(variable.c_str()); env != nullptr && modem.device != env)
        out.Error("note: --device " + modem.device + " wins over " + variable + "=" + env + " from the environment");
}

std::string Describe(const CallPlan& plan)
{
    const std::string device = plan.modem.device.empty() ? "" : " (" + plan.modem.device + ")";
    std::string text = "COM" + std::to_string(plan.modem.port) + device + " at " + std::to_string(plan.modem.speed) +
                       " bit/s" + (plan.modem.pcLink ? ", direct PC link" : "");
    text += "; panel type " + std::to_string(plan.panel.type) + " version " + std::to_string(plan.panel.version) +
            ", link mode " + std::to_string(plan.panel.linkMode);
    return text;
}

ExitCode Run(const GlobalOptions& global, const CallPlan& plan, bool answer)
{
    // Raw bytes on standard output: every message goes to stderr.
    Console out = Console::ForTerminal(global.json || ReadsToStandardOutput(plan.transfers));
    TraceFile trace;
    out.Line(out.Paint(answer ? "vekhost answer: " : "vekhost call: ", Style::Bold) + Describe(plan));
    NoteDevice(out, plan.modem);
    SummaryFacts facts;
    HostRun run(out, global);
    facts.outcome = run.Run(plan, answer);
    if (plan.showTraffic)
        PrintTraffic(out, run);
    if (!trace.Path().empty())
        facts.extra.emplace_back("trace", trace.Path());
    PrintSummary(out, run, facts);
    if (global.json)
        PrintJsonSummary(answer ? "answer" : "call", out, run, facts);
    return facts.outcome.code;
}

} // namespace

ExitCode RunCall(const GlobalOptions& global, const CallPlan& plan) { return Run(global, plan, false); }

ExitCode RunAnswer(const GlobalOptions& global, const CallPlan& plan) { return Run(global, plan, true); }

} // namespace vekhost
