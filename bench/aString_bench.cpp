// aString beside std::string doing the same work, at 16 bytes and 1 MiB:
// building (from counted bytes, as a copy, from a C string), appending,
// comparing (equal texts: every byte is looked at) and inserting in the
// middle. aString allocates an exact-size buffer on every change of length,
// so each change costs one allocation and one copy of the new text; std::string
// keeps spare capacity. Every step should stay linear in the length.
#include "aString.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string sample(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; i++)
        s[i] = static_cast<char>('a' + i % 26);
    return s;
}

const char piece[] = "0123456789abcdef"; // 16 bytes

void setBytes(benchmark::State& state, std::size_t n) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

// Building -------------------------------------------------------------------

void BM_aString_BuildCounted(benchmark::State& state) {
    std::string src = sample(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        aString s(src.data(), src.size());
        benchmark::DoNotOptimize(s.getValue());
    }
    setBytes(state, src.size());
}
void BM_std_BuildCounted(benchmark::State& state) {
    std::string src = sample(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string s(src.data(), src.size());
        benchmark::DoNotOptimize(s.data());
    }
    setBytes(state, src.size());
}

void BM_aString_BuildCString(benchmark::State& state) {
    std::string src = sample(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        aString s(src.c_str());
        benchmark::DoNotOptimize(s.getValue());
    }
    setBytes(state, src.size());
}
void BM_std_BuildCString(benchmark::State& state) {
    std::string src = sample(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string s(src.c_str());
        benchmark::DoNotOptimize(s.data());
    }
    setBytes(state, src.size());
}

void BM_aString_Copy(benchmark::State& state) {
    std::string text = sample(static_cast<std::size_t>(state.range(0)));
    aString src(text.data(), text.size());
    for (auto _ : state) {
        aString s(src);
        benchmark::DoNotOptimize(s.getValue());
    }
    setBytes(state, text.size());
}
void BM_std_Copy(benchmark::State& state) {
    std::string src = sample(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string s(src);
        benchmark::DoNotOptimize(s.data());
    }
    setBytes(state, src.size());
}

// Appending 16 bytes to a copy of an n-byte text ----------------------------

void BM_aString_Append16(benchmark::State& state) {
    std::string text = sample(static_cast<std::size_t>(state.range(0)));
    aString base(text.data(), text.size());
    aString s;
    for (auto _ : state) {
        s = base;
        s.concatenate(piece, 16);
        benchmark::DoNotOptimize(s.getValue());
    }
    setBytes(state, text.size());
}
void BM_std_Append16(benchmark::State& state) {
    std::string base = sample(static_cast<std::size_t>(state.range(0)));
    std::string s;
    for (auto _ : state) {
        s = base;
        s.append(piece, 16);
        benchmark::DoNotOptimize(s.data());
    }
    setBytes(state, base.size());
}

// Comparing equal texts ------------------------------------------------------

void BM_aString_CompareEqual(benchmark::State& state) {
    std::string text = sample(static_cast<std::size_t>(state.range(0)));
    aString a(text.data(), text.size());
    aString b(text.data(), text.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(a.compare(b));
    setBytes(state, text.size());
}
void BM_std_CompareEqual(benchmark::State& state) {
    std::string a = sample(static_cast<std::size_t>(state.range(0)));
    std::string b = a;
    for (auto _ : state)
        benchmark::DoNotOptimize(a.compare(b));
    setBytes(state, a.size());
}

// Comparing with a C string builds a temporary string first.
void BM_aString_CompareCString(benchmark::State& state) {
    std::string text = sample(static_cast<std::size_t>(state.range(0)));
    aString a(text.data(), text.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(a.compare(text.c_str()));
    setBytes(state, text.size());
}
void BM_std_CompareCString(benchmark::State& state) {
    std::string a = sample(static_cast<std::size_t>(state.range(0)));
    std::string b = a;
    for (auto _ : state)
        benchmark::DoNotOptimize(a.compare(b.c_str()));
    setBytes(state, a.size());
}

// Inserting 16 bytes in the middle of a copy of an n-byte text ---------------

void BM_aString_InsertMiddle16(benchmark::State& state) {
    std::string text = sample(static_cast<std::size_t>(state.range(0)));
    aString base(text.data(), text.size());
    aString s;
    for (auto _ : state) {
        s = base;
        s.insert(piece, 16, text.size() / 2);
        benchmark::DoNotOptimize(s.getValue());
    }
    setBytes(state, text.size());
}
void BM_std_InsertMiddle16(benchmark::State& state) {
    std::string base = sample(static_cast<std::size_t>(state.range(0)));
    std::string s;
    for (auto _ : state) {
        s = base;
        s.insert(base.size() / 2, piece, 16);
        benchmark::DoNotOptimize(s.data());
    }
    setBytes(state, base.size());
}

} // namespace

#define LUMORA_SIZES ->Arg(16)->Arg(1 << 20)
BENCHMARK(BM_aString_BuildCounted) LUMORA_SIZES;
BENCHMARK(BM_std_BuildCounted) LUMORA_SIZES;
BENCHMARK(BM_aString_BuildCString) LUMORA_SIZES;
BENCHMARK(BM_std_BuildCString) LUMORA_SIZES;
BENCHMARK(BM_aString_Copy) LUMORA_SIZES;
BENCHMARK(BM_std_Copy) LUMORA_SIZES;
BENCHMARK(BM_aString_Append16) LUMORA_SIZES;
BENCHMARK(BM_std_Append16) LUMORA_SIZES;
BENCHMARK(BM_aString_CompareEqual) LUMORA_SIZES;
BENCHMARK(BM_std_CompareEqual) LUMORA_SIZES;
BENCHMARK(BM_aString_CompareCString) LUMORA_SIZES;
BENCHMARK(BM_std_CompareCString) LUMORA_SIZES;
BENCHMARK(BM_aString_InsertMiddle16) LUMORA_SIZES;
BENCHMARK(BM_std_InsertMiddle16) LUMORA_SIZES;
