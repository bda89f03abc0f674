#include "link/FramesControl.h"

#include "link/FramesLong.h"

namespace vek {

namespace {

std::vector<uint8_t> BuildControlFrame(int linkMode, uint8_t command, uint8_t shortCode,
    std::span<const uint8_t> payload, std::span<const uint8_t> shortPayload)
{
    const int mode = NormalizedLinkMode(linkMode);
    if (mode == 3) {
        return BuildShortFrame(shortCode, shortPayload);
    }
    // Control payloads are a few bytes, so the length always fits.
    return BuildLongFrame(mode, kRouteControl, 0x00, command, payload).value_or(std::vector<uint8_t>{});
}

} // namespace

std::vector<uint8_t> BuildSessionOpenFrame(int linkMode, std::span<const uint8_t> openCode, bool threeByteOpenCode)
{
    uint8_t code[3] = {0, 0, 0};
    const size_t wanted = threeByteOpenCode ? 3 : 2;
    for (size_t i = 0; i < wanted && i < openCode.size(); ++i) {
        code[i] = openCode[i];
    }
    const std::span<const uint8_t> payload(code, wanted);
    return BuildControlFrame(linkMode, kCommandSessionOpen, kShortCodeSessionOpen, payload, payload);
}

std::vector<uint8_t> BuildLinkRequestFrame(int linkMode)
{
    static constexpr uint8_t kPayload[] = {0x00, 0x14, 0x00};
    return BuildControlFrame(linkMode, kCommandLinkRequest, kShortCodeLinkRequest, kPayload, {});
}

std::vector<uint8_t> BuildHangUpFrame(int linkMode)
{
    return BuildControlFrame(linkMode, kCommandHangUp, kShortCodeHangUp, {}, {});
}

std::vector<uint8_t> BuildKeepAliveFrame(int linkMode)
{
    return BuildControlFrame(linkMode, kCommandKeepAlive, kShortCodeKeepAlive, {}, {});
}

} // namespace vek
