#include "panelsim/Options.h"

#include <array>
#include <utility>

namespace panelsim {

std::optional<DialOutcome> DialOutcomeFromName(std::string_view name)
{
    static constexpr std::array<std::pair<std::string_view, DialOutcome>, 6> kNames{{
        {"connect", DialOutcome::Connect},
        {"busy", DialOutcome::Busy},
        {"no-carrier", DialOutcome::NoCarrier},
        {"no-dialtone", DialOutcome::NoDialtone},
        {"no-answer", DialOutcome::NoAnswer},
        {"silence", DialOutcome::Silence},
    }};
    for (const auto& [text, outcome] : kNames)
        if (text == name)
            return outcome;
    return std::nullopt;
}

} // namespace panelsim
