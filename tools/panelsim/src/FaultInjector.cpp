#include "FaultInjector.h"

#include <algorithm>

namespace panelsim {

bool FaultInjector::Chance(double rate)
{
    // No draw at all for a fault that is off, so switching one on does not
    // move the others; raw draws keep runs equal across standard libraries.
    if (rate <= 0)
        return false;
    return static_cast<double>(m_random()) < rate * 4294967296.0;
}

uint32_t FaultInjector::Below(uint32_t limit) { return limit == 0 ? 0 : static_cast<uint32_t>(m_random() % limit); }

std::vector<uint8_t> FaultInjector::Damage(std::span<const uint8_t> bytes, Counters& counters)
{
    std::vector<uint8_t> damaged;
    damaged.reserve(bytes.size());
    for (uint8_t byte : bytes) {
        if (Chance(m_options.noiseRate)) {
            const uint32_t burst = 1 + Below(static_cast<uint32_t>(std::max(m_options.noiseBurstMax, 1)));
            for (uint32_t i = 0; i < burst; ++i)
                damaged.push_back(static_cast<uint8_t>(Below(256)));
            counters.noiseBytes += static_cast<int>(burst);
        }
        if (Chance(m_options.dropRate)) {
            ++counters.droppedBytes;
            continue;
        }
        if (Chance(m_options.corruptRate)) {
            byte ^= static_cast<uint8_t>(1u << Below(8));
            ++counters.corruptedBytes;
        }
        damaged.push_back(byte);
    }
    return damaged;
}

bool FaultInjector::MissReply() { return Chance(m_options.missRate); }

int FaultInjector::ExtraDelayMs() { return Chance(m_options.delayRate) ? m_options.delayMs : 0; }

} // namespace panelsim
