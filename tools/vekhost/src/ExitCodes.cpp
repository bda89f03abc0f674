#include "vekhost/ExitCodes.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vekhost {
namespace {

using enum ExitCode;

constexpr std::array kExitCodes{
    ExitCodeInfo{Ok, "done"},
    ExitCodeInfo{Failed, "failed (the message says why), e.g. a read could not be saved"},
    ExitCodeInfo{Usage, "usage error"},
    ExitCodeInfo{LibraryStart, "the library would not start"},
    ExitCodeInfo{NoCarrier, "NO CARRIER: the modem's answer to the dial"},
    ExitCodeInfo{Busy, "BUSY"},
    ExitCodeInfo{LineDropped, "the line dropped during the call (the modem said NO CARRIER)"},
    ExitCodeInfo{DeviceGone, "the serial device went away"},
    ExitCodeInfo{NoDialTone, "NO DIALTONE"},
    ExitCodeInfo{PanelEndedCall, "the panel ended the call"},
    ExitCodeInfo{NoAnswer, "NO ANSWER: nobody picked up"},
    ExitCodeInfo{NoIdentification, "no identification from the panel"},
    ExitCodeInfo{DialNoResult, "the modem said nothing after the dial"},
    ExitCodeInfo{PortUnavailable, "the serial port is unavailable"},
    ExitCodeInfo{WrongVersion, "the panel has another version"},
    ExitCodeInfo{WrongType, "the panel is of another type"},
    ExitCodeInfo{LinkLost, "the link was lost: the panel stopped answering, or nothing it sent passed its check"},
    ExitCodeInfo{ModemFailed, "a modem command failed"},
    ExitCodeInfo{Refused, "the panel refused with a reason other than those below"},
    ExitCodeInfo{RefusedReason1, "the panel refused with reason 1"},
    ExitCodeInfo{RefusedReason2, "the panel refused with reason 2 (no session open)"},
    ExitCodeInfo{RefusedReason3, "the panel refused with reason 3"},
    ExitCodeInfo{OpenCodeRefused, "the panel refused the open code (reason 4)"},
    ExitCodeInfo{RefusedReason5, "the panel refused with reason 5"},
    ExitCodeInfo{TransferRefused, "the panel refused a transfer (reason 7)"},
    ExitCodeInfo{ShortRead, "the panel returned fewer bytes than asked"},
    ExitCodeInfo{TimedOut, "timed out waiting"},
    ExitCodeInfo{Interrupted, "interrupted (Ctrl-C)"},
    ExitCodeInfo{Terminated, "terminated (SIGTERM)"},
};

} // namespace

std::span<const ExitCodeInfo> ExitCodes() { return kExitCodes; }

std::string_view ExitMeaning(ExitCode code)
{
    const auto it =
        std::find_if(kExitCodes.begin(), kExitCodes.end(), [code](const ExitCodeInfo& e) { return e.code == code; });
    return it == kExitCodes.end() ? "unknown" : it->meaning;
}

ExitCode ExitCodeForCause(vek::Cause cause, std::optional<int> panelReason)
{
    using vek::Cause;
    switch (cause) {
    case Cause::LibraryStart: return LibraryStart;
    case Cause::PortUnavailable: return PortUnavailable;
    case Cause::ModemFailed: return ModemFailed;
    case Cause::NoDialTone: return NoDialTone;
    case Cause::Busy: return Busy;
    case Cause::NoCarrier: return NoCarrier;
    case Cause::NoAnswer: return NoAnswer;
    case Cause::DialNoResult: return DialNoResult;
    case Cause::NoIdentification: return NoIdentification;
    case Cause::WrongType: return WrongType;
    case Cause::WrongVersion: return WrongVersion;
    case Cause::OpenCodeRefused: return OpenCodeRefused;
    case Cause::Refused:
        switch (panelReason.value_or(0)) {
        case 1: return RefusedReason1;
        case 2: return RefusedReason2;
        case 3: return RefusedReason3;
        case 5: return RefusedReason5;
        default: return Refused;
        }
    case Cause::TransferRefused: return TransferRefused;
    case Cause::PanelEndedCall: return PanelEndedCall;
    case Cause::ShortRead: return ShortRead;
    case Cause::PanelSilent:
    case Cause::BadReplies:
    case Cause::LinkLost: return LinkLost;
    case Cause::LineDropped: return LineDropped;
    case Cause::DeviceGone: return DeviceGone;
    case Cause::TimedOut: return TimedOut;
    case Cause::Cancelled: return Interrupted;
    default: return Failed;
    }
}

std::string ExitCodeHelp()
{
    std::string text = "Exit codes:\n";
    for (const ExitCodeInfo& e : kExitCodes) {
        char line[128];
        std::snprintf(line, sizeof line, "  %3d  %.*s\n", ToInt(e.code), static_cast<int>(e.meaning.size()),
                      e.meaning.data());
        text += line;
    }
    return text;
}

} // namespace vekhost
