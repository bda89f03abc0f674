#include "vekhost/LinkModeRules.h"

#include <vek/client.hpp>

#include <cstdio>

namespace vekhost {
namespace {

constexpr int kShortCodeMode = 3;

std::string Hex8(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

bool NeedsTwoByteAddress(std::span<const TransferArgument> transfers)
{
    for (const TransferArgument& t : transfers)
        if (t.address + t.count - 1 > 0xFF)
            return true;
    return false;
}

std::string CheckShortCommand(const char* what, uint8_t command)
{
    // Mode 3 carries commands 1 to 10 in its short codes; any other byte
    // becomes the keep-alive code.
    if (command >= 1 && command <= 10)
        return {};
    return "--" + std::string(what) + "-cmd " + Hex8(command) +
           " goes out as the empty keep-alive code in link mode 3, so nothing would be " +
           (std::string(what) == "read" ? "read" : "written") +
           "; mode 3 reads with command 1 or 3 and writes with 2 or 4";
}

} // namespace

std::string ShapeTransfers(TransferShape& shape, std::span<const TransferArgument> transfers)
{
    const vek::LinkLimits defaults = vek::linkLimits(shape.linkMode);
    if (shape.chunk > defaults.largestRequest)
        return "--chunk " + std::to_string(shape.chunk) + " is more than link mode " + std::to_string(shape.linkMode) +
               " can carry in one request (" + std::to_string(defaults.largestRequest) + ")";
    if (shape.linkMode != kShortCodeMode)
        return {};
    bool reads = false;
    bool writes = false;
    for (const TransferArgument& t : transfers)
        (t.kind == TransferKind::Read ? reads : writes) = true;
    if (reads)
        if (std::string error = CheckShortCommand("read", shape.readCommand); !error.empty())
            return error;
    if (writes)
        if (std::string error = CheckShortCommand("write", shape.writeCommand); !error.empty())
            return error;
    if (!NeedsTwoByteAddress(transfers) || (shape.panelOptions & kPanelTwoByteAddress) != 0)
        return {};
    if (shape.panelOptionsGiven)
        return "link mode 3 reaches addresses above 0xFF only with the two-byte address option: add 0x0080 to "
               "--panel-options";
    shape.panelOptions |= kPanelTwoByteAddress;
    return {};
}

} // namespace vekhost
