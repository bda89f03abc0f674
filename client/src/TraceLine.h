// The library's trace lines ("<ms> TX 41 54 0D", "<ms> step end") as entries.
#pragma once

#include "vek/client.hpp"

#include <optional>
#include <string_view>

namespace vek::internal {

std::optional<TraceEntry> ParseTraceLine(std::string_view line);

} // namespace vek::internal
