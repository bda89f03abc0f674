#include "link/ReceiveScanner.h"

#include "link/Crc16.h"
#include "link/ShortCodes.h"
#include "link/Sum8.h"

#include <algorithm>
#include <cstring>

namespace vek {

namespace {

// x^(8n) for every window length the buffer can hold, so shifting a prefix
// CRC past a window is one multiplication.
const std::vector<uint16_t>& ByteShiftPowers()
{
    static const std::vector<uint16_t> powers = [] {
        std::vector<uint16_t> p(ReceiveBuffer::kCapacity + 1);
        p[0] = 0x8000; // x^0
        for (size_t n = 1; n < p.size(); ++n) {
            p[n] = Crc16UpdateByte(p[n - 1], 0);
        }
        return p;
    }();
    return powers;
}

constexpr size_t kMinCompaction = 4096;

} // namespace

ReceiveBuffer::ReceiveBuffer()
{
    m_prefix.push_back(0);
    (void)ByteShiftPowers(); // built once, here rather than inside the first scan
}

size_t ReceiveBuffer::Append(std::span<const uint8_t> bytes)
{
    const size_t keep = std::min(bytes.size(), kCapacity - Size());
    if (keep == 0) {
        return 0;
    }
    if (m_head + Size() + keep > 2 * kCapacity) {
        Compact();
    }
    const size_t start = m_bytes.size();
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep));
    m_prefix.resize(m_bytes.size() + 1);
    uint16_t crc = m_prefix[start];
    for (size_t i = start; i < m_bytes.size(); ++i) {
        crc = Crc16UpdateByte(crc, m_bytes[i]);
        m_prefix[i + 1] = crc;
    }
    return keep;
}

void ReceiveBuffer::Clear()
{
    m_bytes.clear();
    m_prefix.assign(1, 0);
    m_head = 0;
}

void ReceiveBuffer::DropFront(size_t n)
{
    m_head += std::min(n, Size());
    if (m_head == m_bytes.size()) {
        Clear();
    } else if (m_head >= kMinCompaction && m_head >= Size()) {
        Compact();
    }
}

void ReceiveBuffer::Truncate(size_t n)
{
    if (n < Size()) {
        m_bytes.resize(m_head + n);
        m_prefix.resize(m_bytes.size() + 1);
    }
}

void ReceiveBuffer::ClearFrontBit7()
{
    if (Empty() || (m_bytes[m_head] & 0x80U) == 0) {
        return;
    }
    m_bytes[m_head] &= 0x7FU;
    uint16_t crc = m_prefix[m_head];
    for (size_t i = m_head; i < m_bytes.size(); ++i) {
        crc = Crc16UpdateByte(crc, m_bytes[i]);
        m_prefix[i + 1] = crc;
    }
}

void ReceiveBuffer::Compact()
{
    // Prefix values travel with their bytes: they stay consistent with each
    // other, which is all the window formula needs.
    const size_t live = Size();
    std::memmove(m_bytes.data(), m_bytes.data() + m_head, live);
    std::memmove(m_prefix.data(), m_prefix.data() + m_head, (live + 1) * sizeof(uint16_t));
    m_bytes.resize(live);
    m_prefix.resize(live + 1);
    m_head = 0;
}

uint16_t ReceiveBuffer::FrontCrc(size_t n) const
{
    const uint16_t start = m_prefix[m_head];
    const uint16_t end = m_prefix[m_head + n];
    return static_cast<uint16_t>(end ^ Crc16MultiplyMod(start, ByteShiftPowers()[n]));
}

uint16_t ReceiveBuffer::FrontLength(int header) const
{
    const uint8_t* p = m_bytes.data() + m_head;
    return header == 1 ? p[0] : static_cast<uint16_t>((p[0] << 8) | p[1]);
}

ScanVerdict ReceiveBuffer::Receive(std::span<const uint8_t> bytes, const ScanRules& rules)
{
    Append(bytes);
    return Scan(rules);
}

ScanVerdict ReceiveBuffer::Scan(const ScanRules& rules)
{
    ScanVerdict verdict;
    verdict.bytesArrived = true;
    if (rules.identifyStep || Size() < 2) {
        return verdict;
    }
    const int mode = rules.linkMode > 5 ? 5 : rules.linkMode;
    if (mode == 3) {
        ScanShortCodes(rules, verdict);
    } else if (mode >= 1) {
        ScanLongFrames(mode, verdict);
    }
    return verdict;
}

void ReceiveBuffer::ScanShortCodes(const ScanRules& rules, ScanVerdict& verdict)
{
    while (ShortReplyLength((*this)[0], rules.wideCode50Panel) == kShortCodeUnknown) {
        DropFront(1);
        if (Empty()) {
            return;
        }
    }
    const uint8_t code = (*this)[0];
    size_t total = ShortReplyLength(code, rules.wideCode50Panel) + 1U;
    // Replies to these codes carry one byte more than the request.
    if (code == 0x04 || code == 0x05 || code == 0x06 || code == 0x40 || code == 0x50 || code == 0x60) {
        ++total;
    }
    if (code == 0x50 && rules.wideCode50Panel) {
        --total;
    }
    if (Size() < total) {
        return;
    }
    const std::span<const uint8_t> bytes = Bytes();
    if (bytes[total - 1] != Sum8(bytes.first(total - 1))) {
        verdict.packetGood = false;
        verdict.packetComplete = true;
        return;
    }
    verdict.cutBehind = Size() - total;
    Truncate(total);
    verdict.packetGood = true;
    verdict.packetComplete = true;
}

void ReceiveBuffer::ScanLongFrames(int linkMode, ScanVerdict& verdict)
{
    const int header = linkMode == 1 ? 1 : 2;
    size_t length = FrontLength(header);
    if (Size() < header + length) {
        return;
    }
    while (length < 2) {
        verdict.resynced = true;
        DropFront(1);
        if (Size() < 2) {
            return;
        }
        length = FrontLength(header);
        if (Size() < header + length) {
            return;
        }
    }
    for (;;) {
        const size_t covered = header + length - 2;
        const uint16_t crc = FrontCrc(covered);
        if ((*this)[covered] == (crc >> 8) && (*this)[covered + 1] == (crc & 0xFFU)) {
            verdict.cutBehind = Size() - (header + length);
            Truncate(header + length);
            verdict.packetGood = true;
            verdict.packetComplete = true;
            return;
        }
        DropFront(1);
        if (Size() < 2) {
            return;
        }
        length = FrontLength(header);
        if (Size() < header + length || length < 2) {
            return;
        }
    }
}

} // namespace vek
