// Cost of the motion detector per frame, worst case: every point changes in every frame (two
// uniform frames alternate), the edge filter reads both neighbours of every point, and the
// object needs as many points as changed, so no point wins and the object search visits all.
// Figures are printed as ratios to one pass of FramePixelLuma over the same points, and for 32
// windows of 4000 points as a share of the 20 ms field and 40 ms frame period.

#include "detector/detector.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace station;

constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr int kWindows = 32;

struct BenchFormat {
    const char* name;
    std::int32_t bitCount;
    std::int32_t marker;
};

const BenchFormat kFormats[] = {
    {"gray8", 8, 0},
    {"yuy2", 16, kSubformatYuy2},
    {"packed411", 16, kSubformatPacked411},
    {"rgb24", 24, 0},
};

// The dense and grid layouts share few coordinates (the object search counts them in a table);
// scattered points have distinct ones (it sweeps).
enum Layout { kDense10000 = 0, kGrid50x80 = 1, kScattered10000 = 2, kScattered4000 = 3 };
const char* const kLayoutNames[] = {"10000 points", "50x80 grid", "10000 scattered",
                                    "4000 scattered"};

// Two uniform frames of one format; with equal bytes every format reads that luminance.
struct FramePair {
    explicit FramePair(const BenchFormat& f)
        : format{kWidth, kHeight, f.bitCount, f.marker},
          size(static_cast<std::size_t>(FrameRowBytes(format)) * kHeight), dark(size, 100),
          bright(size, 200) {}
    std::span<const std::uint8_t> Get(bool odd) const { return odd ? bright : dark; }

    FrameFormat format;
    std::size_t size;
    std::vector<std::uint8_t> dark;
    std::vector<std::uint8_t> bright;
};

// 10000 points: 100 x 100 every 10 per mille; the grid: 50 columns x 80 rows; scattered:
// uniformly random positions.
void PlacePoints(DetectionFields& f, Layout layout, int shift = 0) {
    f.PointCount = 0;
    if (layout == kScattered10000 || layout == kScattered4000) {
        std::mt19937 rng(static_cast<unsigned>(1000 + shift));
        std::uniform_int_distribution<int> perMille(0, 999);
        f.PointCount = layout == kScattered10000 ? 10000 : 4000;
        for (int i = 0; i < f.PointCount; ++i) {
            f.PointX[i] = perMille(rng);
            f.PointY[i] = perMille(rng);
        }
    } else {
        const int columns = layout == kDense10000 ? 100 : 50;
        const int rows = layout == kDense10000 ? 100 : 80;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                f.PointX[f.PointCount] = (1000 * c + 500) / columns + shift;
                f.PointY[f.PointCount] = (1000 * r + 500) / rows;
                ++f.PointCount;
            }
        }
    }
    f.ObjectPoints = f.PointCount; // unreachable: the search never stops early
    f.EdgeFilter = 1;
    f.SigmaMode = 1;
}

void BM_LumaPass(benchmark::State& state) {
    const FramePair frames(kFormats[state.range(0)]);
    auto f = std::make_unique<DetectionFields>();
    PlacePoints(*f, static_cast<Layout>(state.range(1)));
    bool odd = false;
    for (auto _ : state) {
        const std::uint8_t* pixels = frames.Get(odd = !odd).data();
        int sum = 0;
        for (int i = 0; i < f->PointCount; ++i) {
            sum += FramePixelLuma(PerMilleToPixel(kWidth, f->PointX[i]),
                                  PerMilleToPixel(kHeight, f->PointY[i]), frames.format, pixels);
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_Find(benchmark::State& state) {
    const FramePair frames(kFormats[state.range(0)]);
    auto f = std::make_unique<DetectionFields>();
    auto search = std::make_unique<ObjectSearch>();
    PlacePoints(*f, static_cast<Layout>(state.range(1)));
    bool odd = false;
    for (auto _ : state) {
        Find(*f, frames.format, frames.Get(odd = !odd), *search);
        benchmark::DoNotOptimize(f->ObjectFound);
    }
    if (f->ChangedCount != f->PointCount || f->ObjectFound != 0) {
        state.SkipWithError("not the worst case");
    }
}

// The object search alone on every point changed: the direct, quadratic one and the fast one.
template <bool kDirect> void BM_ObjectSearch(benchmark::State& state) {
    auto f = std::make_unique<DetectionFields>();
    auto search = std::make_unique<ObjectSearch>();
    PlacePoints(*f, static_cast<Layout>(state.range(0)));
    for (int i = 0; i < f->PointCount; ++i) {
        f->ChangedX[i] = f->PointX[i];
        f->ChangedY[i] = f->PointY[i];
    }
    const std::int32_t n = f->PointCount;
    for (auto _ : state) {
        const std::int32_t winner =
            kDirect ? FindObjectDirect(f->ChangedX.data(), f->ChangedY.data(), n, n, f->ObjectSize)
                    : search->Run(f->ChangedX.data(), f->ChangedY.data(), n, n, f->ObjectSize);
        benchmark::DoNotOptimize(winner);
    }
}

// The station's load: 32 windows of 4000 points each on one frame, sharing one search.
void BM_Find32Windows(benchmark::State& state) {
    const FramePair frames(kFormats[state.range(0)]);
    std::vector<std::unique_ptr<DetectionFields>> windows;
    for (int w = 0; w < kWindows; ++w) {
        windows.push_back(std::make_unique<DetectionFields>());
        PlacePoints(*windows.back(), static_cast<Layout>(state.range(1)), w % 8);
    }
    auto search = std::make_unique<ObjectSearch>();
    bool odd = false;
    for (auto _ : state) {
        const auto pixels = frames.Get(odd = !odd);
        for (auto& f : windows) {
            Find(*f, frames.format, pixels, *search);
        }
        benchmark::DoNotOptimize(windows.back()->ObjectFound);
    }
}

void FormatsAndLayouts(benchmark::internal::Benchmark* b) {
    for (int f = 0; f < static_cast<int>(std::size(kFormats)); ++f) {
        for (int layout = kDense10000; layout <= kScattered4000; ++layout) {
            b->Args({f, layout});
        }
    }
}

BENCHMARK(BM_LumaPass)->Apply(FormatsAndLayouts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Find)->Apply(FormatsAndLayouts)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ObjectSearch<true>)
    ->DenseRange(kDense10000, kScattered4000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ObjectSearch<false>)
    ->DenseRange(kDense10000, kScattered4000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Find32Windows)
    ->ArgsProduct({benchmark::CreateDenseRange(0, std::size(kFormats) - 1, 1),
                   {kGrid50x80, kScattered4000}})
    ->Unit(benchmark::kMicrosecond);

// Keeps every run's real time in microseconds while printing as usual.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    const double* Find(const std::string& name) const {
        const auto it = times.find(name);
        return it == times.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, double> times;
};

void PrintSummary(const CollectingReporter& r) {
    std::printf("\nWorst case on %dx%d, every point changed, no object winner:\n", kWidth, kHeight);
    std::printf("%-10s %-13s %12s %12s %8s\n", "format", "points", "luma pass us", "Find us",
                "ratio");
    for (int f = 0; f < static_cast<int>(std::size(kFormats)); ++f) {
        for (int layout = kDense10000; layout <= kScattered4000; ++layout) {
            const std::string args = "/" + std::to_string(f) + "/" + std::to_string(layout);
            const double* pass = r.Find("BM_LumaPass" + args);
            const double* find = r.Find("BM_Find" + args);
            if (pass != nullptr && find != nullptr) {
                std::printf("%-10s %-13s %12.1f %12.1f %8.2f\n", kFormats[f].name,
                            kLayoutNames[layout], *pass, *find, *find / *pass);
            }
        }
    }
    std::printf("\nObject search alone, all points changed:\n");
    for (int layout : {kDense10000, kGrid50x80, kScattered10000, kScattered4000}) {
        const std::string arg = "/" + std::to_string(layout);
        const double* direct = r.Find("BM_ObjectSearch<true>" + arg);
        const double* fast = r.Find("BM_ObjectSearch<false>" + arg);
        if (direct != nullptr && fast != nullptr) {
            std::printf("  %-15s direct %10.1f us, fast %8.1f us: %.0f times faster\n",
                        kLayoutNames[layout], *direct, *fast, *direct / *fast);
        }
    }
    std::printf("\n%d windows x 4000 points on one core, per frame:\n", kWindows);
    for (int layout : {kGrid50x80, kScattered4000}) {
        for (int f = 0; f < static_cast<int>(std::size(kFormats)); ++f) {
            const double* all =
                r.Find("BM_Find32Windows/" + std::to_string(f) + "/" + std::to_string(layout));
            if (all != nullptr) {
                std::printf("  %-10s %-15s %6.2f ms = %5.1f %% of a 20 ms field, %5.1f %% of a "
                            "40 ms frame\n",
                            kFormats[f].name, kLayoutNames[layout], *all / 1000, *all / 200,
                            *all / 400);
            }
        }
    }
    const double* direct = r.Find("BM_ObjectSearch<true>/" + std::to_string(kGrid50x80));
    if (direct != nullptr) {
        std::printf("  the direct object search alone would take %.1f ms for %d windows\n",
                    *direct * kWindows / 1000, kWindows);
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintSummary(reporter);
    return 0;
}
