// The panel's identification as the library hands it over: the 220-byte
// block of an incoming call (code 13) or the 200 reply bytes of a placed
// call (code 90).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vekhost {

struct IdentificationInfo {
    int type = 0;
    int version = 0;
    int subVersion = 0;
    int flags = 0;
    std::array<uint8_t, 3> idBytes{}; // identification bytes 1, 2, 3
    std::array<uint8_t, 3> extra{};
    std::vector<uint8_t> reply; // the reply as recognised, trailing zeros cut
};

IdentificationInfo DecodeIdentification(std::span<const uint8_t> block);
// The reply bytes without the zero fill behind them.
std::vector<uint8_t> TrimReply(std::span<const uint8_t> raw);
std::string DescribeIdentification(const IdentificationInfo& info);

} // namespace vekhost
