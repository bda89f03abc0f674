// The exit status of vekhost: 0, a few of its own, and otherwise the code
// of the notification that ended the run.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vekhost {

enum class ExitCode : int {
    Ok = 0,
    Failed = 1,
    Usage = 2,
    LibraryStart = 3,
    NoCarrier = 4,
    Busy = 11,
    NoDialTone = 15,
    PanelEndedCall = 16,
    NoIdentification = 18,
    PortUnavailable = 20,
    WrongVersion = 25,
    WrongType = 26,
    LinkLost = 27,
    ModemFailed = 28,
    OpenCodeRefused = 94,
    TransferRefused = 97,
    ShortRead = 98,
    TimedOut = 124,
    Interrupted = 130,
    Terminated = 143,
};

struct ExitCodeInfo {
    ExitCode code;
    std::string_view meaning;
};

std::span<const ExitCodeInfo> ExitCodes();
std::string_view ExitMeaning(ExitCode code);
// The exit code for a failure notification; Failed for any other code.
ExitCode ExitCodeForNotification(int code);
// The table as the footer of --help.
std::string ExitCodeHelp();

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

} // namespace vekhost
