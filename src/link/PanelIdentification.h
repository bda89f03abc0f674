// What a panel said about itself in its identification reply: the 220-byte
// record handed to the host.
#pragma once

#include "vek_comm2.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace vek {

struct PanelIdentification {
    uint16_t panelType = 0;
    uint16_t panelVersion = 0;
    uint16_t panelSubVersion = 0; // 0 where the reply has none
    uint16_t identificationFlags = 0; // only the low byte is ever filled
    uint8_t identificationByte3 = 0;
    uint8_t identificationByte2 = 0;
    uint8_t identificationByte1 = 0;
    uint8_t extraByte1 = 0; // 16-byte blocks only
    uint8_t extraByte2 = 0;
    uint8_t extraByte3 = 0;
    uint8_t reserved[6] = {}; // always 0
    uint8_t raw[VEK_IDENTIFICATION_RAW_SIZE] = {}; // the recognised reply, cut at 200 bytes

    // Bit 0x04: wait 8000 ms before the session-open frame.
    static constexpr uint16_t kFlagDelaySessionOpen = 0x04;

    // The record as the host reads it: little-endian 16-bit fields.
    std::array<uint8_t, VEK_IDENTIFICATION_SIZE> ToBytes() const;
};

static_assert(sizeof(PanelIdentification) == VEK_IDENTIFICATION_SIZE);
static_assert(offsetof(PanelIdentification, panelType) == 0);
static_assert(offsetof(PanelIdentification, panelVersion) == 2);
static_assert(offsetof(PanelIdentification, panelSubVersion) == 4);
static_assert(offsetof(PanelIdentification, identificationFlags) == 6);
static_assert(offsetof(PanelIdentification, identificationByte3) == 8);
static_assert(offsetof(PanelIdentification, identificationByte2) == 9);
static_assert(offsetof(PanelIdentification, identificationByte1) == 10);
static_assert(offsetof(PanelIdentification, extraByte1) == 11);
static_assert(offsetof(PanelIdentification, extraByte2) == 12);
static_assert(offsetof(PanelIdentification, extraByte3) == 13);
static_assert(offsetof(PanelIdentification, reserved) == 14);
static_assert(offsetof(PanelIdentification, raw) == 20);

} // namespace vek
