// Line faults drawn from one seeded generator, so that a run with the same
// seed and the same traffic damages the same bytes.
#pragma once

#include "panelsim/Observations.h"
#include "panelsim/Options.h"

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace panelsim {

class FaultInjector {
public:
    FaultInjector(const FaultOptions& options, uint32_t seed) : m_options(options), m_random(seed) {}

    // Flips bits, loses bytes and adds noise bursts; counts what it did and,
    // given what, says it there ("byte 3 12 became 16; byte 9 C1 lost"),
    // by offsets into bytes. Empty when nothing was damaged.
    std::vector<uint8_t> Damage(std::span<const uint8_t> bytes, Counters& counters, std::string* what = nullptr);
    // Per reply: never sent, or held back longer.
    bool MissReply();
    int ExtraDelayMs();

private:
    bool Chance(double rate);
    uint32_t Below(uint32_t limit);

    FaultOptions m_options;
    std::mt19937 m_random;
};

} // namespace panelsim
