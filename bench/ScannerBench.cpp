// The scanner runs on the host's thread for every receive event: a noisy
// line must cost it time in proportion to the bytes, not bytes x frame length.
#include "link/Crc16.h"
#include "link/ReceiveScanner.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

struct Line {
    std::vector<uint8_t> bytes;
    std::vector<size_t> events; // sizes, 1 to 64
};

// Bytes drawn uniformly from [low, 255].
Line RandomLine(size_t n, unsigned low = 0)
{
    std::mt19937 rng(42);
    Line line;
    line.bytes.resize(n);
    for (auto& b : line.bytes) {
        b = static_cast<uint8_t>(low + rng() % (256 - low));
    }
    for (size_t at = 0; at < n;) {
        const size_t size = std::min<size_t>(1 + rng() % 64, n - at);
        line.events.push_back(size);
        at += size;
    }
    return line;
}

struct Tally {
    int64_t complete = 0;
    int64_t resynced = 0;
};

// The worker empties the buffer once it has taken a complete frame.
template <typename Scanner> Tally Feed(const Line& line, Scanner& scanner, const vek::ScanRules& rules)
{
    Tally tally;
    size_t at = 0;
    for (size_t size : line.events) {
        const vek::ScanVerdict v = scanner.Receive({line.bytes.data() + at, size}, rules);
        at += size;
        tally.complete += v.packetComplete;
        tally.resynced += v.resynced;
        if (v.packetComplete) {
            scanner.Clear();
        }
    }
    return tally;
}

void Report(benchmark::State& state, size_t bytes, const Tally& tally)
{
    const auto processed = static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes);
    state.SetBytesProcessed(processed);
    state.counters["time_per_byte"] =
        benchmark::Counter(static_cast<double>(processed), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["complete"] = static_cast<double>(tally.complete);
    state.counters["resynced"] = static_cast<double>(tally.resynced);
    state.SetComplexityN(static_cast<int64_t>(bytes));
}

// The fast scanner over one line in link mode 2, a fresh buffer each time.
void ScanMode2(benchmark::State& state, const Line& line)
{
    const vek::ScanRules rules{2, false, false};
    Tally tally;
    for (auto _ : state) {
        vek::ReceiveBuffer buffer;
        tally = Feed(line, buffer, rules);
        benchmark::DoNotOptimize(buffer.Size());
    }
    Report(state, line.bytes.size(), tally);
}

void BM_ScannerMode2RandomBytes(benchmark::State& state)
{
    ScanMode2(state, RandomLine(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_ScannerMode2RandomBytes)
    ->Arg(16 << 10)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Every length read is 57344 or more: once the buffer holds that much, nearly
// every received byte costs a check of a window of that size.
void BM_ScannerMode2LongWindows(benchmark::State& state)
{
    ScanMode2(state, RandomLine(static_cast<size_t>(state.range(0)), 0xE0));
}
BENCHMARK(BM_ScannerMode2LongWindows)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The rules done the obvious way, a CRC over the whole window at every
// check and a front erase per discarded byte, for comparison only.
struct PlainScanner {
    std::vector<uint8_t> buffer;

    void Clear() { buffer.clear(); }
    vek::ScanVerdict Receive(std::span<const uint8_t> bytes, const vek::ScanRules&)
    {
        buffer.insert(buffer.end(), bytes.begin(), bytes.end());
        vek::ScanVerdict v;
        v.bytesArrived = true;
        auto size = [this] { return static_cast<int>(buffer.size()); };
        auto length = [this] { return (buffer[0] << 8) | buffer[1]; };
        if (size() < 2) {
            return v;
        }
        int l = length();
        if (size() < 2 + l) {
            return v;
        }
        while (l < 2) {
            v.resynced = true;
            buffer.erase(buffer.begin());
            if (size() < 2) {
                return v;
            }
            l = length();
            if (size() < 2 + l) {
                return v;
            }
        }
        for (;;) {
            const uint16_t crc = vek::Crc16(buffer.data(), l - 1);
            if ((crc >> 8) == buffer[l] && (crc & 0xFF) == buffer[l + 1]) {
                buffer.resize(2 + l);
                v.packetGood = v.packetComplete = true;
                return v;
            }
            buffer.erase(buffer.begin());
            if (size() < 2) {
                return v;
            }
            l = length();
            if (size() < 2 + l || l < 2) {
                return v;
            }
        }
    }
};

void BM_ScannerPlainMode2RandomBytes(benchmark::State& state)
{
    const Line line = RandomLine(static_cast<size_t>(state.range(0)));
    const vek::ScanRules rules{2, false, false};
    Tally tally;
    for (auto _ : state) {
        PlainScanner plain;
        tally = Feed(line, plain, rules);
        benchmark::DoNotOptimize(plain.buffer.size());
    }
    Report(state, line.bytes.size(), tally);
}
BENCHMARK(BM_ScannerPlainMode2RandomBytes)->Arg(64 << 10)->Arg(256 << 10)->Unit(benchmark::kMillisecond);

void BM_ScannerPlainMode2LongWindows(benchmark::State& state)
{
    const Line line = RandomLine(static_cast<size_t>(state.range(0)), 0xE0);
    const vek::ScanRules rules{2, false, false};
    Tally tally;
    for (auto _ : state) {
        PlainScanner plain;
        tally = Feed(line, plain, rules);
        benchmark::DoNotOptimize(plain.buffer.size());
    }
    Report(state, line.bytes.size(), tally);
}
BENCHMARK(BM_ScannerPlainMode2LongWindows)->Arg(64 << 10)->Arg(128 << 10)->Unit(benchmark::kMillisecond);

} // namespace
