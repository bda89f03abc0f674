// What a run ends with: the line traffic from the trace, and a summary.
#pragma once

#include "HostSession.h"
#include "Transfers.h"

#include "vekhost/Console.h"
#include "vekhost/ExitCodes.h"

#include <string>
#include <utility>
#include <vector>

namespace vekhost {

void PrintTraffic(Console& out, const HostSession& session);

struct SummaryFacts {
    ExitCode code = ExitCode::Ok;
    uint64_t callMs = 0;
    int lineSpeed = 0;
    TransferTotals transfers;
    std::vector<std::pair<std::string, std::string>> extra; // label, text
};

void PrintSummary(Console& out, const HostSession& session, const SummaryFacts& facts);
// The same facts as a JSON document on stdout.
void PrintJsonSummary(const char* command, const Console& out, const HostSession& session, const SummaryFacts& facts);

} // namespace vekhost
