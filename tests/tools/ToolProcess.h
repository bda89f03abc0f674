// Runs one of the built tools as a separate program, as a user would, and
// collects its exit status and output.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vektest {

struct ToolRun {
    int exitCode = -1; // 128 + n when ended by signal n
    std::string out;
    std::string err;
};

// The folder the tools are built into (beside the tests' folder).
std::string ToolPath(const std::string& name);
// A signal sent to the program once it has run for a while, as a user
// presses Ctrl-C or a service manager stops it.
struct LateSignal {
    int signal = 0; // 0: none
    int afterMs = 0;
};

// Runs path with args; env entries ("NAME=value") are added to this
// process's environment, entries "NAME=" with nothing after remove NAME.
ToolRun RunTool(const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                LateSignal late = {});

} // namespace vektest
