#include "vekhost/ExitCodes.h"

#include "vek_comm2.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vekhost {
namespace {

using enum ExitCode;

constexpr std::array kExitCodes{
    ExitCodeInfo{Ok, "done"},
    ExitCodeInfo{Failed, "failed (the message says why)"},
    ExitCodeInfo{Usage, "usage error"},
    ExitCodeInfo{LibraryStart, "the library would not start"},
    ExitCodeInfo{NoCarrier, "NO CARRIER"},
    ExitCodeInfo{Busy, "BUSY"},
    ExitCodeInfo{NoDialTone, "NO DIALTONE"},
    ExitCodeInfo{PanelEndedCall, "the panel ended the call"},
    ExitCodeInfo{NoIdentification, "no identification from the panel"},
    ExitCodeInfo{PortUnavailable, "the serial port is unavailable"},
    ExitCodeInfo{WrongVersion, "the panel has another version"},
    ExitCodeInfo{WrongType, "the panel is of another type"},
    ExitCodeInfo{LinkLost, "the link was lost"},
    ExitCodeInfo{ModemFailed, "a modem command failed"},
    ExitCodeInfo{OpenCodeRefused, "the panel refused the open code"},
    ExitCodeInfo{TransferRefused, "the panel refused a transfer"},
    ExitCodeInfo{ShortRead, "the panel returned fewer bytes than asked"},
    ExitCodeInfo{TimedOut, "timed out waiting"},
    ExitCodeInfo{Interrupted, "interrupted (Ctrl-C)"},
    ExitCodeInfo{Terminated, "terminated (SIGTERM)"},
};

struct FailureExit {
    int notification;
    ExitCode exit;
};

constexpr std::array kFailureExits{
    FailureExit{VEK_NOTIFY_NO_CARRIER, NoCarrier},
    FailureExit{VEK_NOTIFY_BUSY, Busy},
    FailureExit{VEK_NOTIFY_NO_DIALTONE, NoDialTone},
    FailureExit{VEK_NOTIFY_PANEL_ENDED_CALL, PanelEndedCall},
    FailureExit{VEK_NOTIFY_NO_IDENTIFICATION, NoIdentification},
    FailureExit{VEK_NOTIFY_PORT_UNAVAILABLE, PortUnavailable},
    FailureExit{VEK_NOTIFY_WRONG_VERSION, WrongVersion},
    FailureExit{VEK_NOTIFY_WRONG_TYPE, WrongType},
    FailureExit{VEK_NOTIFY_LINK_LOST, LinkLost},
    FailureExit{VEK_NOTIFY_MODEM_FAILED, ModemFailed},
    FailureExit{VEK_NOTIFY_TRANSFER_REFUSED, TransferRefused},
};

} // namespace

std::span<const ExitCodeInfo> ExitCodes() { return kExitCodes; }

std::string_view ExitMeaning(ExitCode code)
{
    const auto it =
        std::find_if(kExitCodes.begin(), kExitCodes.end(), [code](const ExitCodeInfo& e) { return e.code == code; });
    return it == kExitCodes.end() ? "unknown" : it->meaning;
}

ExitCode ExitCodeForNotification(int code)
{
    const auto it = std::find_if(kFailureExits.begin(), kFailureExits.end(),
                                 [code](const FailureExit& f) { return f.notification == code; });
    return it == kFailureExits.end() ? Failed : it->exit;
}

std::string ExitCodeHelp()
{
    std::string text = "Exit codes:\n";
    for (const ExitCodeInfo& e : kExitCodes) {
        char line[96];
        std::snprintf(line, sizeof line, "  %3d  %.*s\n", ToInt(e.code), static_cast<int>(e.meaning.size()),
                      e.meaning.data());
        text += line;
    }
    return text;
}

} // namespace vekhost
