// One clock for the whole simulator, so that timers, pacing and the trace
// agree on what "now" is.
#pragma once

#include <chrono>
#include <optional>

namespace panelsim {

using Clock = std::chrono::steady_clock;
using Time = Clock::time_point;
using Millis = std::chrono::milliseconds;

inline std::optional<Time> Earliest(std::optional<Time> a, std::optional<Time> b)
{
    if (!a)
        return b;
    if (!b)
        return a;
    return *a < *b ? a : b;
}

} // namespace panelsim
