// Converts 768x576 frames on every path and prints each time relative to a memcpy of the
// destination's bytes and, for YUY2 -> BGRX, relative to libyuv's YUY2ToARGB, all from the
// same run.
#include "paths.h"

#include <pixaro/colorspace.h>

#include <benchmark/benchmark.h>

#if PIXARO_BENCH_LIBYUV
#include <libyuv/convert_argb.h>
#endif

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kWidth = 768, kHeight = 576;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;
constexpr std::size_t kSize411 = kPixels * 3 / 2, kSizeYuy2 = kPixels * 2, kSizeBgrx = kPixels * 4;

struct Buffers {
    std::vector<std::uint8_t> packed, yuy2, out;
    Buffers() : packed(kSize411), yuy2(kSizeYuy2), out(kSizeBgrx) {
        std::mt19937 rng(768);
        for (auto& b : packed)
            b = static_cast<std::uint8_t>(rng());
        for (auto& b : yuy2)
            b = static_cast<std::uint8_t>(rng());
    }
};

Buffers& Frames() {
    static Buffers buffers;
    return buffers;
}

const char* ClassName(pixaro::ProcessorClass cls) {
    static const char* const names[] = {"plain", "mmx", "sse"};
    return names[static_cast<int>(cls)];
}

const char* SimdName(pixaro::Simd simd) {
    static const char* const names[] = {"scalar", "sse2", "ssse3", "avx2", "avx512"};
    return names[static_cast<int>(simd)];
}

void Register(const std::string& name, std::int32_t df, std::int32_t sf, pixaro::Path path) {
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        Buffers& f = Frames();
        const void* src = sf == pixaro::BTYUV ? f.packed.data() : f.yuy2.data();
        for (auto _ : state) {
            if (pixaro::Convert(f.out.data(), src, kWidth, kHeight, df, sf, &path) != 1)
                state.SkipWithError("conversion refused");
            benchmark::ClobberMemory();
        }
    });
}

void RegisterMemcpy(const std::string& name, std::size_t bytes) {
    benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
        Buffers& f = Frames();
        std::vector<std::uint8_t> src(bytes, 1);
        for (auto _ : state) {
            std::memcpy(f.out.data(), src.data(), bytes);
            benchmark::ClobberMemory();
        }
    });
}

// Seconds per frame of each benchmark (the fastest repetition, or the median when only the
// aggregates are reported).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if ((r.run_type != Run::RT_Iteration && !median) || r.error_occurred)
                continue;
            const double t =
                r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
            auto [it, fresh] = seconds_.emplace(r.run_name.str(), t);
            if (!fresh && t < it->second)
                it->second = t;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double Get(const std::string& name) const {
        const auto it = seconds_.find(name);
        return it == seconds_.end() ? 0.0 : it->second;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& [name, t] : seconds_)
            names.push_back(name);
        return names;
    }

private:
    std::map<std::string, double> seconds_;
};

void PrintRatios(const RatioReporter& rep, const std::string& prefix,
                 const std::string& memcpy_name, const std::string& other_name) {
    const double base = rep.Get(memcpy_name);
    const double other = other_name.empty() ? 0.0 : rep.Get(other_name);
    for (const auto& name : rep.Names()) {
        if (name.rfind(prefix, 0) != 0)
            continue;
        const double t = rep.Get(name);
        std::printf("  %-28s %9.1f us  %6.2f x memcpy", name.c_str(), t * 1e6,
                    base > 0 ? t / base : 0.0);
        if (other > 0)
            std::printf("  %6.2f x libyuv", t / other);
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char** argv) {
    using pixaro::Path;
    using pixaro::ProcessorClass;
    using pixaro::Simd;
    const Simd widest = pixaro::ChosenPath().simd;
    std::vector<Simd> levels;
    for (Simd s : {Simd::None, Simd::Sse2, Simd::Ssse3, Simd::Avx2, Simd::Avx512})
        if (s <= widest)
            levels.push_back(s);

    RegisterMemcpy("memcpy/yuy2", kSizeYuy2);
    RegisterMemcpy("memcpy/411", kSize411);
    RegisterMemcpy("memcpy/bgrx", kSizeBgrx);
    Register("411to422/reference", pixaro::YUY2, pixaro::BTYUV,
             {ProcessorClass::Plain, Simd::None});
    for (Simd s : levels)
        if (s == Simd::Ssse3 || s >= Simd::Avx2)
            Register(std::string("411to422/sse/") + SimdName(s), pixaro::YUY2, pixaro::BTYUV,
                     {ProcessorClass::Sse, s});
    Register("422to411/reference", pixaro::BTYUV, pixaro::YUY2,
             {ProcessorClass::Plain, Simd::None});
    Register("422tobgrx/reference", pixaro::BGRX, pixaro::YUY2,
             {ProcessorClass::Plain, Simd::None});
    for (ProcessorClass cls : {ProcessorClass::Mmx, ProcessorClass::Sse})
        for (Simd s : levels)
            // The MMX path has no kernel of its own at the widest level.
            if (s != Simd::Ssse3 && !(cls == ProcessorClass::Mmx && s == Simd::Avx512))
                Register(std::string("422tobgrx/") + ClassName(cls) + "/" + SimdName(s),
                         pixaro::BGRX, pixaro::YUY2, {cls, s});
#if PIXARO_BENCH_LIBYUV
    benchmark::RegisterBenchmark("libyuv/YUY2ToARGB", [](benchmark::State& state) {
        Buffers& f = Frames();
        for (auto _ : state) {
            libyuv::YUY2ToARGB(f.yuy2.data(), kWidth * 2, f.out.data(), kWidth * 4, kWidth,
                               kHeight);
            benchmark::ClobberMemory();
        }
    });
#endif

    benchmark::Initialize(&argc, argv);
    RatioReporter rep;
    benchmark::RunSpecifiedBenchmarks(&rep);
    benchmark::Shutdown();

    std::printf("\nPer 768x576 frame, relative to memcpy of the destination's bytes");
#if PIXARO_BENCH_LIBYUV
    std::printf(" and to libyuv YUY2ToARGB");
#endif
    std::printf(" (same run):\n");
    PrintRatios(rep, "411to422/", "memcpy/yuy2", "");
    PrintRatios(rep, "422to411/", "memcpy/411", "");
    PrintRatios(rep, "422tobgrx/", "memcpy/bgrx", "libyuv/YUY2ToARGB");
    PrintRatios(rep, "libyuv/", "memcpy/bgrx", "");

    // YUY2 -> BGRX on each wide kernel of the SSE path against libyuv, and 4:1:1 -> YUY2 on the
    // chosen one against a memcpy of the frame it writes.
    const double libyuv = rep.Get("libyuv/YUY2ToARGB");
    for (Simd s : levels) {
        const std::string bgrx = std::string("422tobgrx/sse/") + SimdName(s);
        if (s >= Simd::Avx2 && libyuv > 0 && rep.Get(bgrx) > 0)
            std::printf("target: %s %.2f x libyuv (at most 1.00)\n", bgrx.c_str(),
                        rep.Get(bgrx) / libyuv);
    }
    const std::string sse_411 = std::string("411to422/sse/") + SimdName(pixaro::ChosenPath().simd);
    if (rep.Get(sse_411) > 0 && rep.Get("memcpy/yuy2") > 0)
        std::printf("target: %s %.2f x memcpy (at most 1.50)\n", sse_411.c_str(),
                    rep.Get(sse_411) / rep.Get("memcpy/yuy2"));
    return 0;
}
