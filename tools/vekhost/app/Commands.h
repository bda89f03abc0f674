// The subcommands of vekhost. Each runs a vek::Library (or no library, for
// ports) and returns the exit code.
#pragma once

#include "vekhost/ExitCodes.h"
#include "vekhost/TransferArgument.h"

#include "vek/client.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vekhost {

struct GlobalOptions {
    double timeoutSeconds = 0; // 0: each wait as long as the library may take
    bool verbose = false;
    bool quiet = false; // one line per transfer, not per request
    bool json = false;  // a JSON summary on stdout, messages on stderr
};

inline std::optional<std::chrono::milliseconds> TimeoutOf(const GlobalOptions& global)
{
    if (global.timeoutSeconds <= 0)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<int64_t>(global.timeoutSeconds * 1000));
}

struct TransferSettings {
    uint8_t readCommand = 0x52;
    uint8_t writeCommand = 0x57;
    uint32_t chunk = 1024;
};

struct CallPlan {
    vek::Modem modem;
    vek::Panel panel;
    std::vector<TransferArgument> transfers;
    TransferSettings transferSettings;
    std::string dataFolder; // empty: the library's default
    bool forceHangUp = false;
    bool showTraffic = false;
};

struct DemoOptions {
    int port = 9;
    bool paced = false;
    bool traffic = true;
};

ExitCode RunDemo(const GlobalOptions& global, const DemoOptions& options);
ExitCode RunCall(const GlobalOptions& global, const CallPlan& plan);
ExitCode RunAnswer(const GlobalOptions& global, const CallPlan& plan);
ExitCode RunPorts(bool all, bool json);

// Called by the host's VEKOnlineReqProcess: the line is idle.
void ReportIdleRequest(int what, int arg);

} // namespace vekhost
