#include "link/FramesTransfer.h"

#include "link/FramesLong.h"
#include "link/ShortCodes.h"
#include "link/Sum8.h"

namespace vek {

std::optional<std::vector<uint8_t>> BuildLongTransferFrame(int linkMode, const TransferRequest& request)
{
    const int mode = NormalizedLinkMode(linkMode);
    std::vector<uint8_t> payload;
    if (request.operation == kOperationRead) {
        const uint32_t countLimit = mode == 1 ? 0xFFU : 0xFFFFU;
        if (request.count > countLimit) {
            return std::nullopt; // the count field would drop its high bits
        }
        payload = {static_cast<uint8_t>(request.address >> 8), static_cast<uint8_t>(request.address)};
        if (mode != 1) {
            payload.push_back(static_cast<uint8_t>(request.count >> 8));
        }
        payload.push_back(static_cast<uint8_t>(request.count));
    } else {
        // Checked before any allocation: the count is the host's word.
        if (request.count > request.data.size() || request.count > 0xFFFFU) {
            return std::nullopt;
        }
        if (request.operation == kOperationWrite) {
            payload = {static_cast<uint8_t>(request.address >> 8), static_cast<uint8_t>(request.address)};
        }
        payload.insert(payload.end(), request.data.begin(), request.data.begin() + request.count);
    }
    return BuildLongFrame(mode, kRouteData, request.subAddress, request.command, payload);
}

std::optional<std::vector<ShortTransferFrame>> BuildShortTransferFrames(
    const TransferRequest& request, bool twoByteAddress, bool wideCode50Panel)
{
    const bool write = request.operation == kOperationWrite;
    unsigned remaining = request.count & 0xFFU;
    if (write && request.data.size() < remaining) {
        return std::nullopt;
    }

    std::vector<ShortTransferFrame> frames;
    unsigned offset = 0;
    while (remaining != 0) {
        const uint8_t code = ShortRequestCode(request.command, static_cast<uint8_t>(remaining));
        unsigned chunk = ShortReplyLength(code, wideCode50Panel) - 1U;
        if (code == 0x00) {
            chunk = 0;
            remaining = 0;
        } else if (chunk > remaining) {
            return std::nullopt;
        } else {
            remaining -= chunk;
        }

        std::vector<uint8_t> body;
        if (twoByteAddress) {
            body.push_back(static_cast<uint8_t>(((request.address + offset) & 0xFFFFU) >> 8));
        }
        body.push_back(static_cast<uint8_t>((request.address & 0xFFU) + offset));
        if (write) {
            body.insert(body.end(), request.data.begin() + offset, request.data.begin() + offset + chunk);
        }
        frames.push_back({BuildShortFrame(code, body), static_cast<uint8_t>(offset), static_cast<uint8_t>(chunk)});
        offset += chunk;
    }
    return frames;
}

} // namespace vek
