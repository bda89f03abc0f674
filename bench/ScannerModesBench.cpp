// The receive scanner's cost per byte in every link mode, on what a good
// line carries (whole reply frames) and on what a bad one does (noise).
#include "link/FramesLong.h"
#include "link/ReceiveScanner.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr size_t kLineBytes = 256 << 10;

struct Line {
    std::vector<uint8_t> bytes;
    std::vector<size_t> events; // receive events, 1 to 64 bytes each
};

// Events of 1 to 64 bytes over [at, end): several bytes may come as one.
void SplitIntoEvents(Line& line, size_t at, size_t end, std::mt19937& rng)
{
    while (at < end) {
        const size_t size = std::min<size_t>(1 + rng() % 64, end - at);
        line.events.push_back(size);
        at += size;
    }
}

std::vector<uint8_t> ReplyFrame(int mode, std::mt19937& rng)
{
    if (mode == 3) {
        std::vector<uint8_t> data(8);
        for (auto& b : data)
            b = static_cast<uint8_t>(rng());
        return vek::BuildShortFrame(0xB0, data); // eight bytes read
    }
    // A read reply of 128 bytes, the largest mode 1 carries with room to spare.
    std::vector<uint8_t> payload(128);
    for (auto& b : payload)
        b = static_cast<uint8_t>(rng());
    return vek::BuildLongFrame(mode, 0x01, 0, 0x50, payload).value_or(std::vector<uint8_t>{});
}

// Whole frames back to back; no event spans two, as the worker takes each.
Line CleanLine(int mode)
{
    std::mt19937 rng(7);
    Line line;
    while (line.bytes.size() < kLineBytes) {
        const std::vector<uint8_t> frame = ReplyFrame(mode, rng);
        const size_t at = line.bytes.size();
        line.bytes.insert(line.bytes.end(), frame.begin(), frame.end());
        SplitIntoEvents(line, at, line.bytes.size(), rng);
    }
    return line;
}

Line NoiseLine()
{
    std::mt19937 rng(42);
    Line line;
    line.bytes.resize(kLineBytes);
    for (auto& b : line.bytes)
        b = static_cast<uint8_t>(rng());
    SplitIntoEvents(line, 0, line.bytes.size(), rng);
    return line;
}

void Scan(benchmark::State& state, const Line& line)
{
    const vek::ScanRules rules{static_cast<int>(state.range(0)), false, false};
    int64_t complete = 0;
    for (auto _ : state) {
        vek::ReceiveBuffer buffer;
        complete = 0;
        size_t at = 0;
        for (size_t size : line.events) {
            const vek::ScanVerdict v = buffer.Receive({line.bytes.data() + at, size}, rules);
            at += size;
            if (v.packetComplete) {
                ++complete;
                buffer.Clear();
            }
        }
        benchmark::DoNotOptimize(buffer.Size());
    }
    const auto processed = static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(line.bytes.size());
    state.SetBytesProcessed(processed);
    state.counters["time_per_byte"] =
        benchmark::Counter(static_cast<double>(processed), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["frames_taken"] = static_cast<double>(complete);
}

void BM_ScannerCleanFrames(benchmark::State& state) { Scan(state, CleanLine(static_cast<int>(state.range(0)))); }
BENCHMARK(BM_ScannerCleanFrames)->DenseRange(1, 5)->ArgName("mode")->Unit(benchmark::kMicrosecond);

void BM_ScannerNoise(benchmark::State& state) { Scan(state, NoiseLine()); }
BENCHMARK(BM_ScannerNoise)->DenseRange(1, 5)->ArgName("mode")->Unit(benchmark::kMicrosecond);

} // namespace
