// MemoryCopy against one memcpy of the same bytes, at 4 KiB (cache-resident)
// and 64 MiB (far beyond the caches). Reports bytes per second; the two must
// be close at 64 MiB even though MemoryCopy never hands the host routine
// more than 65,535 bytes at once.
#include "aMemoryBlock.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

struct Buffers {
    explicit Buffers(std::size_t n) : src(n, 'x'), dst(n, 'y') {}
    std::vector<char> src;
    std::vector<char> dst;
};

void BM_MemoryCopy(benchmark::State& state) {
    std::size_t n = static_cast<std::size_t>(state.range(0));
    Buffers b(n);
    for (auto _ : state) {
        aMemoryBlock::MemoryCopy(b.dst.data(), b.src.data(), n);
        benchmark::DoNotOptimize(b.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

void BM_memcpy(benchmark::State& state) {
    std::size_t n = static_cast<std::size_t>(state.range(0));
    Buffers b(n);
    for (auto _ : state) {
        std::memcpy(b.dst.data(), b.src.data(), n);
        benchmark::DoNotOptimize(b.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

void BM_MemoryClear(benchmark::State& state) {
    std::size_t n = static_cast<std::size_t>(state.range(0));
    Buffers b(n);
    for (auto _ : state) {
        aMemoryBlock::MemoryClear(b.dst.data(), n);
        benchmark::DoNotOptimize(b.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

void BM_memset(benchmark::State& state) {
    std::size_t n = static_cast<std::size_t>(state.range(0));
    Buffers b(n);
    for (auto _ : state) {
        std::memset(b.dst.data(), 0, n);
        benchmark::DoNotOptimize(b.dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

} // namespace

BENCHMARK(BM_MemoryCopy)->Arg(4 << 10)->Arg(64 << 20);
BENCHMARK(BM_memcpy)->Arg(4 << 10)->Arg(64 << 20);
BENCHMARK(BM_MemoryClear)->Arg(4 << 10)->Arg(64 << 20);
BENCHMARK(BM_memset)->Arg(4 << 10)->Arg(64 << 20);
