// The receive-scan rules written out plainly, with no attention to cost: the
// yardstick the fast scanner is compared against in tests and fuzzing.
#pragma once

#include "link/Crc16.h"
#include "link/ReceiveScanner.h"
#include "link/ShortCodes.h"
#include "link/Sum8.h"

#include <vector>

namespace vek::reference {

struct ScannerReference {
    std::vector<uint8_t> buffer;

    void DropFirst() { buffer.erase(buffer.begin()); }

    int Length(int header) const { return header == 1 ? buffer[0] : (buffer[0] << 8) | buffer[1]; }
    int Size() const { return static_cast<int>(buffer.size()); }

    ScanVerdict Scan(const ScanRules& rules)
    {
        ScanVerdict v;
        v.bytesArrived = true;
        if (rules.identifyStep || buffer.size() < 2) {
            return v;
        }
        const int mode = rules.linkMode > 5 ? 5 : rules.linkMode;
        if (mode == 3) {
            while (ShortReplyLength(buffer[0], rules.wideCode50Panel) == 255) {
                DropFirst();
                if (buffer.empty()) {
                    return v;
                }
            }
            const uint8_t first = buffer[0];
            int total = ShortReplyLength(first, rules.wideCode50Panel) + 1;
            if (first == 0x04 || first == 0x05 || first == 0x06 || first == 0x40 || first == 0x50 || first == 0x60) {
                total += 1;
            }
            if (first == 0x50 && rules.wideCode50Panel) {
                total -= 1;
            }
            if (Size() < total) {
                return v;
            }
            if (buffer[total - 1] != Sum8(buffer.data(), total - 1)) {
                v.packetGood = false;
                v.packetComplete = true;
                return v;
            }
            buffer.resize(total);
            v.packetGood = true;
            v.packetComplete = true;
            return v;
        }
        if (mode < 1) {
            return v;
        }
        const int header = mode == 1 ? 1 : 2;
        int length = Length(header);
        if (Size() < header + length) {
            return v;
        }
        while (length < 2) {
            v.resynced = true;
            DropFirst();
            if (Size() < 2) {
                return v;
            }
            length = Length(header);
            if (Size() < header + length) {
                return v;
            }
        }
        for (;;) {
            const uint16_t crc = Crc16(buffer.data(), header + length - 3);
            if ((crc >> 8) == buffer[header + length - 2] && (crc & 0xFF) == buffer[header + length - 1]) {
                buffer.resize(header + length);
                v.packetGood = true;
                v.packetComplete = true;
                return v;
            }
            DropFirst();
            if (Size() < 2) {
                return v;
            }
            length = Length(header);
            if (Size() < header + length || length < 2) {
                return v;
            }
        }
    }
};

} // namespace vek::reference
