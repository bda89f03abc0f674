// Names of the notification codes the library posts to its host (message
// 1075), and what each means for a host waiting on a call.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vek::internal {

enum class NoteKind {
    Progress, // a step of the call went as planned
    Info,     // worth showing, changes nothing
    Failure,  // the step the host waits for will not come
};

struct NotificationInfo {
    int code;
    std::string_view name;
    NoteKind kind;
    bool carriesBlock;     // lParam is a global memory block the host frees
    bool libraryEndsCall;  // after this failure the library hangs up by itself
    std::string_view hint; // for a failure: what it means, what to try
};

std::span<const NotificationInfo> Notifications();
// Null for a code the table does not know.
const NotificationInfo* FindNotification(int code);
// "connected", or "code 77" for an unknown code.
std::string NotificationName(int code);
bool IsFailure(int code);
bool CarriesBlock(int code);
std::string_view FailureHint(int code);

} // namespace vek::internal
