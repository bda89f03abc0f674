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
};

inline std::optional<std::chrono::milliseconds> TimeoutOf(const GlobalOptions& global)
{
    if (global.timeoutSeconds <= 0)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<int64_t>(global.timeoutSeconds * 1000));
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
ExitCode RunPorts(bool all);

} // namespace vekhost
