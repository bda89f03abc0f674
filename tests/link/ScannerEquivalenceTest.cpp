// The fast scanner must do exactly what the plain rules do: same verdicts,
// same bytes kept, after every receive event.
#include "ScannerReference.h"

#include "link/FramesControl.h"
#include "link/FramesTransfer.h"
#include "link/ReceiveScanner.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vek {
namespace {

using Bytes = std::vector<uint8_t>;

// A line for one mode: valid frames, damaged frames and noise, mixed.
Bytes MakeLine(std::mt19937& rng, int mode, size_t target, int noiseCeiling)
{
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> noise(0, noiseCeiling);
    Bytes line;
    while (line.size() < target) {
        Bytes piece;
        switch (pick(rng)) {
        case 0: piece = BuildHangUpFrame(mode); break;
        case 1: piece = BuildKeepAliveFrame(mode); break;
        case 2: piece = BuildLinkRequestFrame(mode); break;
        case 3: {
            Bytes data(rng() % 40);
            for (auto& b : data) {
                b = static_cast<uint8_t>(rng());
            }
            TransferRequest r;
            r.operation = kOperationWrite;
            r.command = static_cast<uint8_t>(rng() % 12);
            r.count = static_cast<uint32_t>(data.size());
            r.data = data;
            if (mode == 3) {
                if (auto frames = BuildShortTransferFrames(r, rng() % 2 == 0, false)) {
                    for (auto& f : *frames) {
                        piece.insert(piece.end(), f.bytes.begin(), f.bytes.end());
                    }
                }
            } else if (auto frame = BuildLongTransferFrame(mode, r)) {
                piece = *frame;
            }
            break;
        }
        case 4: {
            piece = BuildLinkRequestFrame(mode);
            piece[rng() % piece.size()] ^= static_cast<uint8_t>(1U << (rng() % 8));
            break;
        }
        default: {
            piece.resize(1 + rng() % 8);
            for (auto& b : piece) {
                b = static_cast<uint8_t>(noise(rng));
            }
        }
        }
        line.insert(line.end(), piece.begin(), piece.end());
    }
    return line;
}

void RunBoth(std::mt19937& rng, const Bytes& line, const ScanRules& rules, bool consumeFrames)
{
    ReceiveBuffer fast;
    reference::ScannerReference plain;
    size_t at = 0;
    size_t events = 0;
    while (at < line.size()) {
        const size_t n = std::min<size_t>(1 + rng() % 64, line.size() - at);
        const Bytes event(
            line.begin() + static_cast<std::ptrdiff_t>(at), line.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        ++events;

        // Now and then the worker re-examines the buffer as the packet step does.
        if (rng() % 16 == 0 && !plain.buffer.empty()) {
            plain.buffer[0] &= 0x7F;
            fast.ClearFrontBit7();
        }
        if (rng() % 32 == 0 && plain.buffer.size() > 2) {
            plain.DropFirst();
            fast.DropFront(1);
        }

        fast.Append(event);
        plain.buffer.insert(plain.buffer.end(), event.begin(), event.end());
        const ScanVerdict a = fast.Scan(rules);
        const ScanVerdict b = plain.Scan(rules);
        ASSERT_EQ(a.bytesArrived, b.bytesArrived) << "event " << events;
        ASSERT_EQ(a.packetComplete, b.packetComplete) << "event " << events;
        ASSERT_EQ(a.packetGood, b.packetGood) << "event " << events;
        ASSERT_EQ(a.resynced, b.resynced) << "event " << events;
        ASSERT_TRUE(std::equal(fast.Bytes().begin(), fast.Bytes().end(), plain.buffer.begin(), plain.buffer.end()))
            << "event " << events << " sizes " << fast.Size() << " " << plain.buffer.size();

        if (a.packetComplete && consumeFrames) {
            fast.Clear();
            plain.buffer.clear();
        }
    }
}

TEST(ScannerEquivalence, MixedLinesInEveryMode)
{
    std::mt19937 rng(2024);
    for (int mode : {1, 2, 3, 4, 5, 6}) {
        for (int round = 0; round < 40; ++round) {
            const Bytes line = MakeLine(rng, mode, 3000, round % 2 ? 255 : 8);
            for (bool wide : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "mode " << mode << " round " << round << " wide " << wide);
                RunBoth(rng, line, ScanRules{mode, false, wide}, true);
                // Keep appending after a verdict too: the rules must still agree.
                RunBoth(rng, line, ScanRules{mode, false, wide}, false);
            }
        }
    }
}

TEST(ScannerEquivalence, RandomBytesInEveryMode)
{
    std::mt19937 rng(77);
    for (int mode : {1, 2, 3, 4, 5}) {
        for (int round = 0; round < 10; ++round) {
            Bytes line(mode == 1 || mode == 3 ? 20000 : 4000);
            for (auto& b : line) {
                b = static_cast<uint8_t>(rng());
            }
            SCOPED_TRACE(::testing::Message() << "mode " << mode << " round " << round);
            RunBoth(rng, line, ScanRules{mode, false, round % 2 == 0}, round % 3 != 0);
        }
    }
}

TEST(ScannerEquivalence, SmallLengthsKeepTheLongModesSliding)
{
    // Bytes 0 to 3 keep two-byte lengths small, so windows are checked and
    // slid over constantly, and the buffer is compacted many times.
    std::mt19937 rng(99);
    for (int mode : {2, 4, 5}) {
        Bytes line(60000);
        for (auto& b : line) {
            b = static_cast<uint8_t>(rng() % 4);
        }
        SCOPED_TRACE(::testing::Message() << "mode " << mode);
        RunBoth(rng, line, ScanRules{mode, false, false}, true);
    }
}

TEST(ScannerEquivalence, LargeWindowsAreCheckedFromPrefixCrcs)
{
    // A length near 4096 makes every check cover a long window.
    std::mt19937 rng(5);
    Bytes line;
    while (line.size() < 40000) {
        line.push_back(0x10);
        line.push_back(static_cast<uint8_t>(rng()));
        for (int i = 0; i < 50; ++i) {
            line.push_back(static_cast<uint8_t>(rng()));
        }
    }
    RunBoth(rng, line, ScanRules{2, false, false}, true);
}

} // namespace
} // namespace vek
