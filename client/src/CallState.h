// What a Call handle and the session share about one call.
#pragma once

#include "vek/client.hpp"

#include <atomic>

namespace vek::internal {

struct CallState {
    // Set before the call is handed to the host, never changed afterwards.
    Panel panel;
    CallOptions options;
    Identification identification;
    // Written on the host thread, read by any.
    std::atomic<bool> open{false};
};

} // namespace vek::internal
