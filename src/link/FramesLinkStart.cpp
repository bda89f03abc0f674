#include "link/FramesLinkStart.h"

#include "link/Crc16.h"

namespace vek {

namespace {

void AppendCrc(std::vector<uint8_t>& frame)
{
    const uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc));
}

} // namespace

std::optional<std::vector<uint8_t>> BuildDialCommandFrame(std::string_view phoneNumber)
{
    if (phoneNumber.size() > 253) {
        return std::nullopt;
    }
    std::vector<uint8_t> frame = {'A', 'T', 'D', 'T', static_cast<uint8_t>(phoneNumber.size() + 2)};
    frame.insert(frame.end(), phoneNumber.begin(), phoneNumber.end());
    AppendCrc(frame);
    return frame;
}

std::vector<uint8_t> BuildIdentificationBlock(
    uint8_t expectedType, uint8_t expectedVersion, std::span<const uint8_t> idCode)
{
    std::vector<uint8_t> block = {0x04, 0x04, 0x04, 0x00, 0x0E, expectedType, expectedVersion, 0x00};
    for (size_t i = 0; i < 3; ++i) {
        block.push_back(i < idCode.size() ? idCode[i] : uint8_t{0});
    }
    block.insert(block.end(), {0x00, 0x00, 0x00, 0x00, 0x08, 0x00});
    AppendCrc(block);
    return block;
}

} // namespace vek
