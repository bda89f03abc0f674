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
        // The reply must be able to carry every byte asked for.
        if (request.count > LongestReadCount(mode)) {
            return std::nullopt;
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

uint32_t LongestReadCount(int linkMode)
{
    // The reply's length field counts everything after itself: the route
    // and sub-address bytes of modes 4 and 5, the command and the CRC.
    switch (NormalizedLinkMode(linkMode)) {
    case 1: return 0xFFU - 3;
    case 4: return 0xFFFFU - 4;
    case 5: return 0xFFFFU - 5;
    default: return 0xFFFFU - 3;
    }
}

std::optional<size_t> LongReadCount(int linkMode, std::span<const uint8_t> frame)
{
    const int mode = NormalizedLinkMode(linkMode);
    const int header = LongFrameHeaderSize(mode);
    if (header == 0)
        return std::nullopt;
    // Command, address high and low, then the count: one byte in mode 1.
    const size_t countAt = static_cast<size_t>(header) + 3;
    if (mode == 1)
        return countAt < frame.size() ? std::optional<size_t>(frame[countAt]) : std::nullopt;
    if (countAt + 1 >= frame.size())
        return std::nullopt;
    return static_cast<size_t>((frame[countAt] << 8) | frame[countAt + 1]);
}

std::optional<std::vector<ShortTransferFrame>> BuildShortTransferFrames(const TransferRequest& request,
                                                                        bool twoByteAddress, bool wideCode50Panel)
{
    const bool write = request.operation == kOperationWrite;
    // One short transfer moves at most 255 bytes; a count of 0 would send
    // nothing and leave the host waiting for ever.
    if (request.count == 0 || request.count > 0xFFU) {
        return std::nullopt;
    }
    unsigned remaining = request.count;
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
