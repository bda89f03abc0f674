// What a run ends with: the line traffic from the trace, and a summary.
#pragma once

#include "HostRun.h"

#include "vekhost/Console.h"
#include "vekhost/ExitCodes.h"

#include <string>
#include <utility>
#include <vector>

namespace vekhost {

void PrintTraffic(Console& out, const HostRun& run);

struct SummaryFacts {
    RunOutcome outcome;
    std::vector<std::pair<std::string, std::string>> extra; // label, text
};

void PrintSummary(Console& out, const HostRun& run, const SummaryFacts& facts);
// The same facts as a JSON document on stdout.
void PrintJsonSummary(const char* command, const Console& out, const HostRun& run, const SummaryFacts& facts);

} // namespace vekhost
