#include "link/Crc16.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> RandomBytes(size_t n)
{
    std::mt19937 rng(1);
    std::vector<uint8_t> out(n);
    for (auto& b : out) {
        b = static_cast<uint8_t>(rng());
    }
    return out;
}

void BM_Crc16Throughput(benchmark::State& state)
{
    const auto data = RandomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(vek::Crc16(data));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16Throughput)->Arg(16)->Arg(256)->Arg(4096)->Arg(65536);

void BM_Crc16ShiftBytes(benchmark::State& state)
{
    uint16_t crc = 0x1234;
    uint64_t n = 1;
    for (auto _ : state) {
        crc = vek::Crc16ShiftBytes(crc, n);
        n = n * 7 % 65537;
        benchmark::DoNotOptimize(crc);
    }
}
BENCHMARK(BM_Crc16ShiftBytes);

} // namespace
