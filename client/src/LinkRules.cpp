#include "LinkRules.h"

#include <algorithm>
#include <cstdio>

namespace vek::internal {
namespace {

constexpr int kShortCodeLinkMode = 3;
// Mode 1 has a one-byte length: a write's count plus 5 must fit it.
constexpr uint32_t kLargestMode1Request = 250;
// Mode 3 sends only the count's low byte.
constexpr uint32_t kLargestShortRequest = 255;
constexpr uint32_t kLargestLongRequest = 1024;
constexpr uint8_t kReadCommand = 0x52;
constexpr uint8_t kWriteCommand = 0x57;

std::string Hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

} // namespace

LinkLimits LimitsForLinkMode(int linkMode)
{
    if (linkMode == kShortCodeLinkMode)
        return {1, 2, kLargestShortRequest};
    if (linkMode == 1)
        return {kReadCommand, kWriteCommand, kLargestMode1Request};
    return {kReadCommand, kWriteCommand, kLargestLongRequest};
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

std::string PlanTransfer(const Panel& panel, const TransferOptions& options, TransferPlan& plan)
{
    const char* what = plan.write ? "write" : "read";
    if (plan.count == 0)
        return std::string("nothing to ") + what + " (count 0)";
    if (plan.address >= kPanelMemorySize)
        return "address " + Hex(plan.address, 4) + " is beyond the panel's 64 KiB";
    if (plan.address + uint64_t{plan.count} > kPanelMemorySize)
        return std::to_string(plan.count) + " bytes from " + Hex(plan.address, 4) +
               " run past the end of the panel's 64 KiB";
    const LinkLimits limits = LimitsForLinkMode(panel.linkMode);
    plan.command = options.command.value_or(plan.write ? limits.writeCommand : limits.readCommand);
    plan.chunk = options.chunk == 0 ? limits.largestRequest : options.chunk;
    if (plan.chunk > limits.largestRequest)
        return "a request of " + std::to_string(plan.chunk) + " bytes is more than link mode " +
               std::to_string(panel.linkMode) + " carries (" + std::to_string(limits.largestRequest) + ")";
    if (panel.linkMode != kShortCodeLinkMode)
        return {};
    if (ShortCodeFor(plan.command, 1) == 0)
        return std::string("command ") + Hex(plan.command, 2) +
               " goes out as the empty keep-alive code in link mode 3, so nothing would be " +
               (plan.write ? "written" : "read") + "; mode 3 reads with command 1 or 3 and writes with 2 or 4";
    if (plan.address + plan.count - 1 > 0xFF && (panel.options & kPanelTwoByteAddress) == 0)
        return "link mode 3 reaches addresses above 0xFF only with the two-byte address option: add 0x0080 to the "
               "panel's options";
    return {};
}

std::vector<Chunk> SplitIntoChunks(uint32_t address, uint32_t count, uint32_t chunkSize)
{
    std::vector<Chunk> chunks;
    if (chunkSize == 0)
        return chunks;
    for (uint32_t offset = 0; offset < count; offset += chunkSize) {
        const uint32_t size = std::min(chunkSize, count - offset);
        chunks.push_back({static_cast<uint16_t>(address + offset), offset, size});
    }
    return chunks;
}

} // namespace vek::internal
