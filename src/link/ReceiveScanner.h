// The receive buffer of the panel link and the scanner that finds one
// complete, checksum-valid frame at its front.
//
// The buffer owns the bytes; Scan() applies the framing rules and returns a
// verdict instead of touching events, so the caller (holding the receive lock)
// sets the packet-complete and bytes-arrived events from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vek {

struct ScanVerdict {
    bool bytesArrived = false;   // always set by a scan: the worker's bytes-arrived event
    bool packetComplete = false; // set the packet-complete event
    bool packetGood = false;     // the complete frame passed its check
    bool resynced = false;       // a long-frame length below 2 was skipped
    size_t cutBehind = 0;        // bytes behind a good complete frame, cut off
};

struct ScanRules {
    int linkMode = 0;             // above 5 as 5; 0 and below: no framing, only bytes-arrived
    bool identifyStep = false;    // the step in progress waits for an identification reply
    bool wideCode50Panel = false; // panel identified as type 0xE2 version 0x96
};

class ReceiveBuffer {
public:
    // Large enough for the longest long frame (2 + 65535 bytes) plus a burst
    // of received bytes; bytes that arrive when it is full are dropped.
    static constexpr size_t kCapacity = 128 * 1024;

    ReceiveBuffer();

    // Appends as many bytes as fit; returns how many were kept.
    size_t Append(std::span<const uint8_t> bytes);
    // Appends the bytes of one receive event, then scans.
    ScanVerdict Receive(std::span<const uint8_t> bytes, const ScanRules& rules);
    ScanVerdict Scan(const ScanRules& rules);

    std::span<const uint8_t> Bytes() const { return {m_bytes.data() + m_head, Size()}; }
    size_t Size() const { return m_bytes.size() - m_head; }
    bool Empty() const { return Size() == 0; }
    uint8_t operator[](size_t i) const { return m_bytes[m_head + i]; }

    // Set the size to 0.
    void Clear();
    // Discards the first n bytes (all when n exceeds the size).
    void DropFront(size_t n);
    // Keeps only the first n bytes.
    void Truncate(size_t n);
    // The packet step clears a parity bit the line may have set on the first byte.
    void ClearFrontBit7();

private:
    void ScanShortCodes(const ScanRules& rules, ScanVerdict& verdict);
    void ScanLongFrames(int linkMode, ScanVerdict& verdict);
    uint16_t FrontLength(int header) const;
    // CRC of the first n live bytes, from two prefix CRCs.
    uint16_t FrontCrc(size_t n) const;
    void Compact();

    // Live bytes are m_bytes[m_head..]; front discards only move m_head, and
    // the dead space is reclaimed once it is at least as large as the live part.
    std::vector<uint8_t> m_bytes;
    // m_prefix[i] is the CRC register after m_bytes[0..i) from some origin;
    // any window's CRC follows from its two ends, whatever the origin.
    std::vector<uint16_t> m_prefix;
    size_t m_head = 0;
};

// The scan under its familiar name.
inline ScanVerdict ScanReceiveBuffer(ReceiveBuffer& buffer, const ScanRules& rules) { return buffer.Scan(rules); }

} // namespace vek
