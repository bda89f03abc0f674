// The panel's identification as the library hands it over: the 220-byte
// block of an incoming call (code 13) or the 200 reply bytes of a placed
// call (code 90).
#pragma once

#include "vek/client.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vek::internal {

Identification DecodeIncoming(std::span<const uint8_t> block);
Identification DecodePlaced(std::span<const uint8_t> block);
// The reply bytes without the zero fill behind them.
std::vector<uint8_t> TrimReply(std::span<const uint8_t> raw);

} // namespace vek::internal
