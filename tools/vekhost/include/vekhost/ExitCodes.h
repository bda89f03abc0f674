// The exit status of vekhost: 0, a few of its own, and otherwise one code
// per cause of a failure (the notification's code where there is one).
#pragma once

#include "vek/client.hpp"

#include <optional>
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
    LineDropped = 12,
    DeviceGone = 14,
    NoDialTone = 15,
    PanelEndedCall = 16,
    NoAnswer = 17,
    NoIdentification = 18,
    DialNoResult = 19,
    PortUnavailable = 20,
    WrongVersion = 25,
    WrongType = 26,
    LinkLost = 27,
    ModemFailed = 28,
    Refused = 90,
    RefusedReason1 = 91,
    RefusedReason2 = 92,
    RefusedReason3 = 93,
    OpenCodeRefused = 94,
    RefusedReason5 = 95,
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
// The exit code for the cause of a failure (and the panel's reason of a
// refusal); Failed for what has no code of its own.
ExitCode ExitCodeForCause(vek::Cause cause, std::optional<int> panelReason = std::nullopt);
// The table as the footer of --help.
std::string ExitCodeHelp();

inline int ToInt(ExitCode code) { return static_cast<int>(code); }

} // namespace vekhost
