#include "vekhost/LinkModeRules.h"

#include <cstdio>

namespace vekhost {
namespace {

constexpr int kShortCodeMode = 3;
// Mode 1 has a one-byte length: a write's count plus 5 must fit it.
constexpr uint32_t kLargestMode1Request = 250;
// Mode 3 sends only the count's low byte.
constexpr uint32_t kLargestShortRequest = 255;
constexpr uint32_t kLargestLongRequest = 1024;

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
    if (ShortCodeFor(command, 1) != 0)
        return {};
    return "--" + std::string(what) + "-cmd " + Hex8(command) +
           " goes out as the empty keep-alive code in link mode 3, so nothing would be " +
           (std::string(what) == "read" ? "read" : "written") +
           "; mode 3 reads with command 1 or 3 and writes with 2 or 4";
}

} // namespace

LinkModeDefaults DefaultsForLinkMode(int linkMode)
{
    if (linkMode == kShortCodeMode)
        return {1, 2, kLargestShortRequest};
    if (linkMode == 1)
        return {kDefaultReadCommand, kDefaultWriteCommand, kLargestMode1Request};
    return {kDefaultReadCommand, kDefaultWriteCommand, kLargestLongRequest};
}

uint8_t ShortCodeFor(uint8_t command, uint8_t count)
{
    if (count == 0)
        return command >= 5 && command <= 10 ? ShortCodeFor(command, 1) : 0x00;
    const int size = count == 1 ? 0 : count <= 3 ? 1 : count <= 7 ? 2 : 3;
    switch (command) {
    case 1: return static_cast<uint8_t>(0x80 + 0x10 * size);
    case 2: return static_cast<uint8_t>(0xC0 + 0x10 * size);
    case 3: return static_cast<uint8_t>(0x08 + size);
    case 4: return static_cast<uint8_t>(0x0C + size);
    case 5: return 0x40;
    case 6: return 0x50;
    case 7: return 0x60;
    case 8: return 0x04;
    case 9: return 0x05;
    case 10: return 0x06;
    default: return 0x00;
    }
}

std::string ShapeTransfers(TransferShape& shape, std::span<const TransferArgument> transfers)
{
    const LinkModeDefaults defaults = DefaultsForLinkMode(shape.linkMode);
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
