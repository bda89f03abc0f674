#include "Notifications.h"

#include "vek_comm2.h"

#include <algorithm>
#include <array>

namespace vek::internal {
namespace {

using enum NoteKind;

constexpr std::array kNotifications{
    NotificationInfo{VEK_NOTIFY_SESSION_OPENED, "session opened", Progress, true, false, ""},
    NotificationInfo{VEK_NOTIFY_NO_CARRIER, "no carrier", Failure, false, false,
                     "nobody answered, or the modems did not agree on a connection"},
    NotificationInfo{VEK_NOTIFY_WRITE_DONE, "write done", Progress, true, false, ""},
    NotificationInfo{VEK_NOTIFY_READ_DONE, "read done", Progress, true, false, ""},
    NotificationInfo{VEK_NOTIFY_ON_HOOK, "on hook", Progress, false, false, ""},
    NotificationInfo{VEK_NOTIFY_MODEM_READY, "modem ready", Progress, false, false, ""},
    NotificationInfo{VEK_NOTIFY_BUSY, "busy", Failure, false, false, "the line is busy; try again later"},
    NotificationInfo{VEK_NOTIFY_INCOMING_IDENTIFIED, "incoming call identified", Progress, true, false, ""},
    NotificationInfo{VEK_NOTIFY_NO_DIALTONE, "no dial tone", Failure, false, false,
                     "is the phone line plugged into the modem?"},
    // The library sends the hang-up frame itself.
    NotificationInfo{VEK_NOTIFY_PANEL_ENDED_CALL, "panel ended the call", Failure, false, true, "the panel hung up"},
    NotificationInfo{VEK_NOTIFY_NO_IDENTIFICATION, "no identification", Failure, false, true,
                     "the panel did not identify itself; check the link mode and the line speed"},
    NotificationInfo{VEK_NOTIFY_PORT_UNAVAILABLE, "port unavailable", Failure, false, false,
                     "the serial port cannot be opened; vekhost ports lists the ports and who holds them"},
    NotificationInfo{VEK_NOTIFY_DIAL_WAIT, "waiting for connect", Progress, false, false, ""},
    NotificationInfo{VEK_NOTIFY_WRONG_VERSION, "wrong version", Failure, false, true,
                     "the panel is not of the version the panel record expects"},
    NotificationInfo{VEK_NOTIFY_WRONG_TYPE, "wrong type", Failure, false, true,
                     "the panel is not of the type the panel record expects"},
    NotificationInfo{VEK_NOTIFY_LINK_LOST, "link lost", Failure, false, true,
                     "too many exchanges with the panel failed"},
    NotificationInfo{VEK_NOTIFY_MODEM_FAILED, "modem command failed", Failure, false, false,
                     "the modem did not answer OK; check the cable, the port speed and the init string"},
    NotificationInfo{VEK_NOTIFY_PANEL_BUSY, "panel busy", Info, false, false, ""},
    NotificationInfo{VEK_NOTIFY_DIALLING, "dialling", Progress, false, false, ""},
    NotificationInfo{VEK_NOTIFY_CONNECTED, "connected", Progress, false, false, ""},
    NotificationInfo{VEK_NOTIFY_ANSWER_READY, "answer mode ready", Progress, false, false, ""},
    NotificationInfo{VEK_NOTIFY_IDLE_HANGUP, "idle hang-up", Info, false, false, ""},
    NotificationInfo{VEK_NOTIFY_ANSWER_REQUESTED, "panel asked for answer mode", Info, false, false, ""},
    NotificationInfo{VEK_NOTIFY_NOT_CONNECTED, "not connected", Info, false, false, ""},
    NotificationInfo{VEK_NOTIFY_RING, "ring", Progress, false, false, ""},
    NotificationInfo{VEK_NOTIFY_END_OF_CALL, "end of call", Info, false, false, ""},
    NotificationInfo{VEK_NOTIFY_IDENTIFIED, "panel identified", Progress, true, false, ""},
    NotificationInfo{VEK_NOTIFY_EXCHANGE_FAILED, "exchange failed", Info, false, false, ""},
    NotificationInfo{VEK_NOTIFY_EXCHANGE_OK, "exchange ok", Info, false, false, ""},
    // The call stays up; only the transfer is dropped.
    NotificationInfo{VEK_NOTIFY_TRANSFER_REFUSED, "transfer refused", Failure, false, false,
                     "the panel refused the request; check the address and the command byte"},
    NotificationInfo{VEK_NOTIFY_NONE, "no notification", Info, false, false, ""},
};

} // namespace

std::span<const NotificationInfo> Notifications() { return kNotifications; }

const NotificationInfo* FindNotification(int code)
{
    const auto it = std::find_if(kNotifications.begin(), kNotifications.end(),
                                 [code](const NotificationInfo& n) { return n.code == code; });
    return it == kNotifications.end() ? nullptr : &*it;
}

std::string NotificationName(int code)
{
    const NotificationInfo* info = FindNotification(code);
    return info != nullptr ? std::string(info->name) : "code " + std::to_string(code);
}

bool IsFailure(int code)
{
    const NotificationInfo* info = FindNotification(code);
    return info != nullptr && info->kind == NoteKind::Failure;
}

std::string_view FailureHint(int code)
{
    const NotificationInfo* info = FindNotification(code);
    return info != nullptr ? info->hint : std::string_view{};
}

bool CarriesBlock(int code)
{
    const NotificationInfo* info = FindNotification(code);
    return info != nullptr && info->carriesBlock;
}

} // namespace vek::internal
