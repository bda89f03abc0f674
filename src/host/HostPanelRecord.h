// The host's record of one panel, read at fixed little-endian offsets. The
// host owns the memory; the library only reads it and ORs in two option bits.
#pragma once

#include "platform/Handles.h"
#include "vek_comm2.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace vek {

struct HostPanelRecord; // opaque: only the fixed offsets are ours

// 16-bit line speeds use 0xC200 for 115200, which does not fit 16 bits.
inline int32_t DecodeLineSpeed(uint16_t raw) { return raw == 0xC200 ? 115200 : raw; }

class PanelRecordView {
public:
    explicit PanelRecordView(HostPanelRecord* record) : m_p(reinterpret_cast<uint8_t*>(record)) {}
    explicit PanelRecordView(void* record) : m_p(static_cast<uint8_t*>(record)) {}

    bool IsAttached() const { return m_p != nullptr; }

    uint32_t HostFlags() const { return U32(VEK_PANEL_HOST_FLAGS); }
    int32_t LineSpeed() const { return DecodeLineSpeed(U16(VEK_PANEL_LINE_SPEED)); }
    int32_t SecondLineSpeed() const { return DecodeLineSpeed(U16(VEK_PANEL_SECOND_SPEED)); }
    int32_t DirectLinkSpeed() const { return DecodeLineSpeed(U16(VEK_PANEL_DIRECT_SPEED)); }
    uint16_t ExpectedType() const { return U16(VEK_PANEL_EXPECTED_TYPE); }
    uint16_t ExpectedVersion() const { return U16(VEK_PANEL_EXPECTED_VERSION); }
    int16_t LinkMode() const { return static_cast<int16_t>(U16(VEK_PANEL_LINK_MODE)); }
    int16_t IdleFactorA() const { return static_cast<int16_t>(U16(VEK_PANEL_IDLE_FACTOR_A)); }
    int16_t IdleFactorB() const { return static_cast<int16_t>(U16(VEK_PANEL_IDLE_FACTOR_B)); }
    uint16_t PanelOptions() const { return U16(VEK_PANEL_OPTIONS); }
    uint8_t LinkOptions() const { return m_p[VEK_PANEL_LINK_OPTIONS]; }
    HWND RecordWindow() const { return HandleFromField<HWND>(U32(VEK_PANEL_RECORD_WINDOW)); }
    // The phone number field runs up to the record window field.
    std::string PhoneNumber() const;

    // Idle-disconnect countdown in 9000 ms ticks: (B x A) / 9000, signed.
    int32_t IdleCountdownTicks() const { return (int32_t{IdleFactorB()} * int32_t{IdleFactorA()}) / 9000; }
    // Pause between requests selected by bits 12 and 13 of the options.
    int32_t RequestDelayMs() const;
    // Extra pause after each frame byte selected by bits 14 and 15.
    int32_t ByteDelayMs() const;

    // The only write the library makes: OR in bits 0x0008 and 0x0010.
    void OrPanelOptions(uint16_t bits);

private:
    uint16_t U16(size_t off) const { return static_cast<uint16_t>(m_p[off] | (m_p[off + 1] << 8)); }
    uint32_t U32(size_t off) const
    {
        return uint32_t{m_p[off]} | (uint32_t{m_p[off + 1]} << 8) | (uint32_t{m_p[off + 2]} << 16) |
               (uint32_t{m_p[off + 3]} << 24);
    }

    uint8_t* m_p;
};

} // namespace vek
