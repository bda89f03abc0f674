// Which data requests the panel refuses, and with which reason.
#pragma once

#include "panelsim/Options.h"

#include <optional>
#include <vector>

namespace panelsim {

class RefusalPolicy {
public:
    void Add(const RefusalRule& rule) { m_rules.push_back(rule); }

    // The reason of the first rule that matches, using up one of its turns.
    // A request without an address only meets rules without a range.
    std::optional<int> Check(std::optional<uint16_t> address, int count);

private:
    std::vector<RefusalRule> m_rules;
};

} // namespace panelsim
