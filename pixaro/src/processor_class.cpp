// Processor class and instruction-set detection, done once per process.
#include "paths.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define PIXARO_X86 1
#endif

namespace pixaro {
namespace {

ProcessorClass ClassFromFlags() {
#if defined(__x86_64__)
    // SSE and the operating system's saving of its registers are part of every x86-64
    // processor and system.
    return ProcessorClass::Sse;
#elif defined(PIXARO_X86)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return ProcessorClass::Plain;
    const bool mmx = (edx >> 23) & 1;
    const bool sse = (edx >> 25) & 1;
    const bool fxsr = (edx >> 24) & 1; // the system saves SSE state through FXSAVE
    if (sse && fxsr)
        return ProcessorClass::Sse;
    return mmx ? ProcessorClass::Mmx : ProcessorClass::Plain;
#else
    return ProcessorClass::Plain;
#endif
}

Simd WidestSimd() {
#if defined(PIXARO_X86)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi"))
        return Simd::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return Simd::Avx2;
    if (__builtin_cpu_supports("ssse3"))
        return Simd::Ssse3;
    if (__builtin_cpu_supports("sse2"))
        return Simd::Sse2;
#endif
    return Simd::None;
}

// Packed as class * 8 + simd + 1; 0 means not determined yet.
std::atomic<std::int32_t> chosen{0};

} // namespace

bool SimdSupported(Simd simd) {
    return static_cast<std::int32_t>(simd) <= static_cast<std::int32_t>(WidestSimd());
}

Path ChosenPath() {
    std::int32_t packed = chosen.load(std::memory_order_relaxed);
    if (packed == 0) {
        packed = static_cast<std::int32_t>(ClassFromFlags()) * 8 +
                 static_cast<std::int32_t>(WidestSimd()) + 1;
        chosen.store(packed, std::memory_order_relaxed);
    }
    return Path{static_cast<ProcessorClass>((packed - 1) / 8), static_cast<Simd>((packed - 1) % 8)};
}

} // namespace pixaro
