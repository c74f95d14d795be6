// Conversion paths inside the library. The export always takes the path chosen once per
// process; tests and the benchmark name a path explicitly through Convert.
#pragma once

#include <cstdint>

namespace pixaro {

// Processor class chosen from the processor's feature flags.
enum class ProcessorClass : std::int32_t { Plain = 0, Mmx = 1, Sse = 2 };

// The widest instruction set a fast path may use to compute its (fixed) result. Avx512: the
// AVX-512 byte and word instructions with byte permutes, on registers of any width.
enum class Simd : std::int32_t { None = 0, Sse2 = 1, Ssse3 = 2, Avx2 = 3, Avx512 = 4 };

struct Path {
    ProcessorClass cls;
    Simd simd;
};

// Class from the feature flags and the widest usable instruction set, determined at the first
// call and kept. Concurrent first calls compute and store the same value.
Path ChosenPath();

// True when this processor can run code that uses simd.
bool SimdSupported(Simd simd);

// ColorspaceConv's checks and dispatch on the given path (nullptr: the path chosen once).
// A simd level the processor lacks is lowered to one it has.
std::int32_t Convert(void* dst, const void* src, std::uint32_t width, std::uint32_t height,
                     std::int32_t dst_format, std::int32_t src_format, const Path* path);

} // namespace pixaro
