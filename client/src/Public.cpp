// The free functions of the C++ API and the error types.
#include "Causes.h"
#include "Identification.h"
#include "LinkRules.h"
#include "ModemRecord.h"
#include "Notifications.h"
#include "PanelRecord.h"
#include "PortCheck.h"

#include "vek/client.hpp"

namespace vek {

Error::Error(Cause cause, const std::string& text, int code, std::optional<int> panelReason, std::string hint)
    : std::runtime_error(text), m_cause(cause), m_code(code), m_reason(panelReason), m_hint(std::move(hint))
{
}

TransferError::TransferError(const CallError& error, Bytes data, uint32_t address)
    : CallError(error), m_data(std::move(data)), m_address(address)
{
}

std::string_view causeName(Cause cause)
{
    switch (cause) {
    case Cause::None: return "none";
    case Cause::InvalidArgument: return "invalid argument";
    case Cause::WrongState: return "not now";
    case Cause::LibraryStart: return "the library would not start";
    case Cause::PortUnavailable: return "the serial port is unavailable";
    case Cause::ModemFailed: return "a modem command failed";
    case Cause::NoDialTone: return "NO DIALTONE";
    case Cause::Busy: return "BUSY";
    case Cause::NoCarrier: return "NO CARRIER";
    case Cause::NoAnswer: return "NO ANSWER";
    case Cause::DialNoResult: return "the modem said nothing after the dial";
    case Cause::NoIdentification: return "no identification from the panel";
    case Cause::WrongType: return "the panel is of another type";
    case Cause::WrongVersion: return "the panel has another version";
    case Cause::OpenCodeRefused: return "the panel refused the open code";
    case Cause::Refused: return "the panel refused";
    case Cause::TransferRefused: return "the panel refused a transfer";
    case Cause::PanelEndedCall: return "the panel ended the call";
    case Cause::ShortRead: return "the panel returned fewer bytes than asked";
    case Cause::PanelSilent: return "the panel stopped answering";
    case Cause::BadReplies: return "nothing the panel sent passed its check";
    case Cause::LineDropped: return "the line dropped";
    case Cause::DeviceGone: return "the serial device went away";
    case Cause::LinkLost: return "the link was lost";
    case Cause::IdleHangUp: return "hung up after the idle time";
    case Cause::CallEnded: return "the call ended";
    case Cause::TimedOut: return "timed out waiting";
    case Cause::Cancelled: return "cancelled";
    case Cause::Stopped: return "the library stopped";
    }
    return "unknown";
}

std::string notificationName(int code) { return internal::NotificationName(code); }

NotificationKind notificationKind(int code)
{
    const internal::NotificationInfo* info = internal::FindNotification(code);
    if (info == nullptr)
        return NotificationKind::Unknown;
    switch (info->kind) {
    case internal::NoteKind::Progress: return NotificationKind::Progress;
    case internal::NoteKind::Info: return NotificationKind::Info;
    case internal::NoteKind::Failure: return NotificationKind::Failure;
    }
    return NotificationKind::Unknown;
}

Identification decodeIdentification(std::span<const uint8_t> block, bool incoming)
{
    return incoming ? internal::DecodeIncoming(block) : internal::DecodePlaced(block);
}

std::string checkModem(const Modem& modem) { return internal::CheckModemValues(modem); }

std::string checkPanel(const Panel& panel) { return internal::CheckPanelValues(panel); }

LinkLimits linkLimits(int linkMode) { return internal::LimitsForLinkMode(linkMode); }

PortCheck checkPort(const std::string& device, const std::string& lockFolder)
{
    return internal::CheckDevice(device, lockFolder);
}

std::string_view portStateName(PortCheck::State state)
{
    switch (state) {
    case PortCheck::State::Free: return "free";
    case PortCheck::State::Busy: return "busy";
    case PortCheck::State::NoAccess: return "no access";
    case PortCheck::State::NoHardware: return "no hardware";
    case PortCheck::State::Missing: return "missing";
    case PortCheck::State::NotATerminal: return "not a tty";
    case PortCheck::State::Error: return "error";
    }
    return "error";
}

std::vector<std::string> serialDevices() { return internal::SerialDeviceList(); }

std::string portDevice(int port, const std::string& given) { return internal::DeviceForPort(port, given); }

} // namespace vek
