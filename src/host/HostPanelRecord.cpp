#include "host/HostPanelRecord.h"

namespace vek {

std::string PanelRecordView::PhoneNumber() const
{
    const char* text = reinterpret_cast<const char*>(m_p + VEK_PANEL_PHONE_NUMBER);
    const size_t width = VEK_PANEL_RECORD_WINDOW - VEK_PANEL_PHONE_NUMBER;
    return {text, strnlen(text, width)};
}

int32_t PanelRecordView::RequestDelayMs() const
{
    switch (PanelOptions() & VEK_PANEL_OPT_REQUEST_DELAY) {
    case 0x0000: return 100;
    case 0x1000: return 200;
    case 0x2000: return 500;
    default: return 0;
    }
}

int32_t PanelRecordView::ByteDelayMs() const
{
    switch (PanelOptions() & VEK_PANEL_OPT_BYTE_DELAY) {
    case 0x0000: return 0;
    case 0x4000: return 10;
    case 0x8000: return 20;
    default: return 40;
    }
}

void PanelRecordView::OrPanelOptions(uint16_t bits)
{
    const uint16_t v = static_cast<uint16_t>(PanelOptions() | bits);
    m_p[VEK_PANEL_OPTIONS] = static_cast<uint8_t>(v);
    m_p[VEK_PANEL_OPTIONS + 1] = static_cast<uint8_t>(v >> 8);
}

} // namespace vek
