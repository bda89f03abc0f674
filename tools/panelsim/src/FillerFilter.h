// Takes out the 0xFF fillers the host puts after each byte of a frame: one
// at 1200 bit/s with an extended modem, fourteen on some direct links. A
// filler is only ever a 0xFF right after a real byte, so a data byte 0xFF
// survives: it comes after the fillers of the byte before it.
#pragma once

#include <cstdint>
#include <optional>

namespace panelsim {

class FillerFilter {
public:
    void SetFillersAfterByte(int count) { m_fillersAfterByte = count; }
    int FillersAfterByte() const { return m_fillersAfterByte; }

    std::optional<uint8_t> Push(uint8_t byte)
    {
        if (m_fillersLeft > 0 && byte == 0xFF) {
            --m_fillersLeft;
            return std::nullopt;
        }
        m_fillersLeft = m_fillersAfterByte;
        return byte;
    }

    // The last byte of a frame has no fillers after it.
    void FrameEnded() { m_fillersLeft = 0; }

private:
    int m_fillersAfterByte = 0;
    int m_fillersLeft = 0;
};

} // namespace panelsim
