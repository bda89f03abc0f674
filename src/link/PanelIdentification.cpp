#include "link/PanelIdentification.h"

#include <cstring>

namespace vek {

std::array<uint8_t, VEK_IDENTIFICATION_SIZE> PanelIdentification::ToBytes() const
{
    std::array<uint8_t, VEK_IDENTIFICATION_SIZE> out{};
    const uint16_t words[4] = {panelType, panelVersion, panelSubVersion, identificationFlags};
    for (size_t i = 0; i < 4; ++i) {
        out[2 * i] = static_cast<uint8_t>(words[i]);
        out[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    out[8] = identificationByte3;
    out[9] = identificationByte2;
    out[10] = identificationByte1;
    out[11] = extraByte1;
    out[12] = extraByte2;
    out[13] = extraByte3;
    std::memcpy(out.data() + 14, reserved, sizeof reserved);
    std::memcpy(out.data() + 20, raw, sizeof raw);
    return out;
}

} // namespace vek
