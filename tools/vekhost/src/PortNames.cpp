#include "vekhost/PortNames.h"

#include "vekhost/Numbers.h"

#include <algorithm>

namespace vekhost {
namespace {

constexpr std::string_view kComVariable = "VEK_COM";
constexpr std::string_view kDefaultStem = "/dev/ttyS";

} // namespace

std::vector<ComMapping> ComMappingsFromEnvironment(std::span<const std::string> environment)
{
    std::vector<ComMapping> mappings;
    for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        if (equals == std::string::npos || !entry.starts_with(kComVariable))
            continue;
        const std::string_view number =
            std::string_view(entry).substr(kComVariable.size(), equals - kComVariable.size());
        const auto port = ParseUnsigned(number);
        if (!port || *port < 1 || *port > 255 || number.starts_with("0"))
            continue;
        if (equals + 1 == entry.size())
            continue;
        mappings.push_back({static_cast<int>(*port), entry.substr(equals + 1)});
    }
    std::sort(mappings.begin(), mappings.end(),
              [](const ComMapping& a, const ComMapping& b) { return a.port < b.port; });
    return mappings;
}

int DefaultComPort(std::string_view device)
{
    if (!device.starts_with(kDefaultStem))
        return 0;
    const std::string_view digits = device.substr(kDefaultStem.size());
    const auto index = ParseUnsigned(digits);
    if (!index || *index > 254 || digits.starts_with("0x"))
        return 0;
    return static_cast<int>(*index) + 1;
}

} // namespace vekhost
