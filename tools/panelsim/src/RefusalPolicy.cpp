#include "RefusalPolicy.h"

#include <algorithm>

namespace panelsim {
namespace {

bool Matches(const RefusalRule& rule, std::optional<uint16_t> address, int count)
{
    if (rule.remaining == 0)
        return false;
    if (!rule.ranged)
        return true;
    if (!address)
        return false;
    const long first = *address;
    const long last = first + std::max(count, 1) - 1;
    return first <= rule.last && last >= rule.first;
}

} // namespace

std::optional<int> RefusalPolicy::Check(std::optional<uint16_t> address, int count)
{
    for (RefusalRule& rule : m_rules) {
        if (!Matches(rule, address, count))
            continue;
        if (rule.remaining > 0)
            --rule.remaining;
        return rule.reason;
    }
    return std::nullopt;
}

} // namespace panelsim
