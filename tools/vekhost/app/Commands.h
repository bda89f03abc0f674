// The subcommands of vekhost. Each runs on the calling thread, which
// becomes the library's host thread, and returns the exit code.
#pragma once

#include "CallFlow.h"

#include "vekhost/ExitCodes.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

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

inline SessionOptions SessionOptionsFor(const GlobalOptions& global, uint32_t chunk)
{
    SessionOptions options;
    options.timeout = TimeoutOf(global);
    options.chunk = chunk;
    options.verbose = global.verbose;
    options.quiet = global.quiet;
    return options;
}

struct DemoOptions {
    int port = 9;
    bool paced = false;
    bool traffic = true;
};

struct LineOptions {
    std::string device;     // mapped to the plan's port when set
    std::string dataFolder; // folder of the modem database
};

ExitCode RunDemo(const GlobalOptions& global, const DemoOptions& options);
ExitCode RunCall(const GlobalOptions& global, const LineOptions& line, const CallPlan& plan);
ExitCode RunAnswer(const GlobalOptions& global, const LineOptions& line, const CallPlan& plan);
ExitCode RunPorts(bool all, bool json);

} // namespace vekhost
