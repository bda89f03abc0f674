// Feeds arbitrary receive events to the scanner in every link mode and checks
// it against the plain rules after each one.
#include "../tests/link/ScannerReference.h"
#include "FuzzCheck.h"

#include "link/Crc16.h"
#include "link/ReceiveScanner.h"
#include "link/Sum8.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

using vekfuzz::Check;

} // namespace

// Byte 0: link mode (low 3 bits, 0 to 7) and flags (wide code 0x50 panel,
// identification step). Then events: a control byte whose low 6 bits + 1 give
// the event size and whose top bits sometimes ask for a worker action first.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const vek::ScanRules rules{data[0] & 0x07, (data[0] & 0x10) != 0, (data[0] & 0x08) != 0};
    vek::ReceiveBuffer fast;
    vek::reference::ScannerReference plain;

    size_t at = 1;
    while (at < size) {
        const uint8_t control = data[at++];
        const size_t n = std::min<size_t>((control & 0x3F) + 1U, size - at);
        switch (control >> 6) {
        case 1:
            if (!plain.buffer.empty()) {
                plain.buffer[0] &= 0x7F;
            }
            fast.ClearFrontBit7();
            break;
        case 2:
            if (plain.buffer.size() > 2) {
                plain.DropFirst();
                fast.DropFront(1);
            }
            break;
        default: break;
        }
        fast.Append({data + at, n});
        plain.buffer.insert(plain.buffer.end(), data + at, data + at + n);
        at += n;

        const vek::ScanVerdict a = fast.Scan(rules);
        const vek::ScanVerdict b = plain.Scan(rules);
        Check(a.bytesArrived && b.bytesArrived);
        Check(a.packetComplete == b.packetComplete && a.packetGood == b.packetGood && a.resynced == b.resynced);
        Check(fast.Size() == plain.buffer.size());
        Check(std::equal(fast.Bytes().begin(), fast.Bytes().end(), plain.buffer.begin()));
        Check(fast.Size() <= vek::ReceiveBuffer::kCapacity);

        // A good verdict always leaves exactly one checked frame.
        const int mode = rules.linkMode > 5 ? 5 : rules.linkMode;
        if (a.packetGood && mode == 3) {
            Check(fast.Size() >= 2 && vek::Sum8(fast.Bytes().first(fast.Size() - 1)) == fast.Bytes().back());
        } else if (a.packetGood) {
            const auto frame = fast.Bytes();
            const uint16_t crc = vek::Crc16(frame.first(frame.size() - 2));
            Check(frame[frame.size() - 2] == (crc >> 8) && frame.back() == (crc & 0xFF));
        }
        if (a.packetComplete && (control & 0x20)) {
            fast.Clear();
            plain.buffer.clear();
        }
    }
    return 0;
}
