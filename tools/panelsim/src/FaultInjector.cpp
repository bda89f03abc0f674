#include "FaultInjector.h"

#include "Trace.h"

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

std::vector<uint8_t> FaultInjector::Damage(std::span<const uint8_t> bytes, Counters& counters, std::string* what)
{
    std::string said;
    const auto say = [&said](const std::string& text) { said += (said.empty() ? "" : "; ") + text; };
    std::vector<uint8_t> damaged;
    damaged.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t byte = bytes[i];
        const std::string at = "byte " + std::to_string(i) + " ";
        if (Chance(m_options.noiseRate)) {
            const uint32_t burst = 1 + Below(static_cast<uint32_t>(std::max(m_options.noiseBurstMax, 1)));
            const size_t from = damaged.size();
            for (uint32_t n = 0; n < burst; ++n)
                damaged.push_back(static_cast<uint8_t>(Below(256)));
            counters.noiseBytes += static_cast<int>(burst);
            say("noise " + HexBytes(std::span(damaged).subspan(from)) + " before " + at.substr(0, at.size() - 1));
        }
        if (Chance(m_options.dropRate)) {
            ++counters.droppedBytes;
            say(at + HexBytes(std::span(&byte, 1)) + " lost");
            continue;
        }
        if (Chance(m_options.corruptRate)) {
            const uint8_t was = byte;
            byte ^= static_cast<uint8_t>(1u << Below(8));
            ++counters.corruptedBytes;
            say(at + HexBytes(std::span(&was, 1)) + " became " + HexBytes(std::span(&byte, 1)));
        }
        damaged.push_back(byte);
    }
    if (what != nullptr)
        *what = std::move(said);
    return damaged;
}

bool FaultInjector::MissReply() { return Chance(m_options.missRate); }

int FaultInjector::ExtraDelayMs() { return Chance(m_options.delayRate) ? m_options.delayMs : 0; }

} // namespace panelsim
