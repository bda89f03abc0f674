// How long each wait of a call may take by the library's own time-outs.
// Without a timeout of its own a wait lasts that long, so that the library's recovery
// (resends, the link-lost verdict, the modem's answer) ends it with its own
// notification, never the client's time-out.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace vek::internal {

enum class WaitKind {
    ModemReady,     // reset and initialisation commands
    Identification, // dial, CONNECT and the panel's identification
    SessionOpen,    // the session-open frame until it is acknowledged
    Transfer,       // one request of at most the chunk size
    HangUp,         // escape, on hook and the modem reset
    IncomingCall,   // a panel calling in: no bound of its own
};

// Nullopt: the library never gives up on this wait by itself.
std::optional<std::chrono::milliseconds> LibraryBound(WaitKind kind, uint32_t chunk);

} // namespace vek::internal
