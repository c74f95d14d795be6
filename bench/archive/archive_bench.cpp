// Archive writer throughput for 768 x 576 YUY2 frames, against its two parts measured alone.
#include "archive/archive_encode.h"
#include "archive/archive_writer.h"

#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <jpeglib.h>
#include <unistd.h>

namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 576;

// A camera-like YUY2 picture: gradients, edges and a little texture.
const std::vector<std::uint8_t>& frame() {
    static const std::vector<std::uint8_t> px = [] {
        std::vector<std::uint8_t> v(std::size_t(kWidth) * kHeight * 2);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; x += 2) {
                std::uint8_t* p = &v[(std::size_t(y) * kWidth + x) * 2];
                const int base = 16 + (x * 160 / kWidth) + ((x / 64 + y / 48) % 2) * 40;
                const int grain = int((unsigned(x * 7919 + y * 104729) >> 5) & 7);
                p[0] = std::uint8_t(std::min(235, base + grain));
                p[1] = std::uint8_t(128 + (y * 40 / kHeight) - 20);
                p[2] = std::uint8_t(std::min(235, base + grain / 2));
                p[3] = std::uint8_t(128 + (x * 30 / kWidth) - 15);
            }
        }
        return v;
    }();
    return px;
}

struct Scratch {
    std::filesystem::path root;
    Scratch() {
        std::string t = (std::filesystem::temp_directory_path() / "tolm-bench-XXXXXX").string();
        if (!::mkdtemp(t.data())) {
            std::abort();
        }
        root = t;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

void write_frames(benchmark::State& state, bool jpeg) {
    Scratch scratch;
    archive::ArchiveContext ctx;
    ctx.program_dir = scratch.root.string();
    ctx.settings.dirs[0] = ctx.program_dir;
    ctx.settings.cyclic = true;
    ctx.settings.use_cache = true;
    ctx.group_limit = 64 << 20;
    // A disk that is full once 128 MB of frames are stored: the archive then overwrites.
    ctx.free_space = [](const archive::Path& dir) -> std::optional<archive::DiskSpace> {
        std::uint64_t used = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            if (e.path().extension() == ".dat") {
                used += e.file_size();
            }
        }
        const std::uint64_t total = 1'000'000'000;
        return archive::DiskSpace{used > (128u << 20) ? 0 : total, total};
    };
    archive::ArchFrame f;
    f.pixels = frame();
    f.width = kWidth;
    f.height = kHeight;
    f.bits_per_pixel = 16;
    f.marker = archive::kMarkerYuy2;
    f.jpeg = jpeg;
    f.quality = 50;
    for (auto _ : state) {
        if (archive::ArchWriteFrame(ctx, f) != archive::kWritten) {
            state.SkipWithError("frame not written");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ArchiveWriteJpeg(benchmark::State& state) {
    write_frames(state, true);
}
void BM_ArchiveWriteBmp(benchmark::State& state) {
    write_frames(state, false);
}

struct Jump {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jump_out(j_common_ptr c) {
    std::longjmp(reinterpret_cast<Jump*>(c->err)->jump, 1);
}

// libjpeg alone: the same YUY2 frame, 4:2:2, quality 50, into memory.
bool libjpeg_encode(const std::uint8_t* yuy2, std::uint8_t* row, unsigned char** out,
                    unsigned long* size) {
    jpeg_compress_struct c;
    Jump err;
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jump_out;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        return false;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, out, size);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_YCbCr);
    jpeg_set_quality(&c, 50, TRUE);
    c.comp_info[0].h_samp_factor = 2;
    c.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        const std::uint8_t* src =
            yuy2 + std::size_t(kHeight - 1 - c.next_scanline) * kWidth * 2; // bottom-up
        for (int x = 0; x < kWidth; ++x) {
            const std::uint8_t* pair = src + (x & ~1) * 2;
            row[3 * x] = src[2 * x];
            row[3 * x + 1] = pair[1];
            row[3 * x + 2] = pair[3];
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return true;
}

void BM_LibjpegAlone(benchmark::State& state) {
    std::vector<std::uint8_t> row(kWidth * 3);
    for (auto _ : state) {
        unsigned char* out = nullptr;
        unsigned long size = 0;
        if (!libjpeg_encode(frame().data(), row.data(), &out, &size)) {
            state.SkipWithError("libjpeg failed");
        }
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
    state.SetItemsProcessed(state.iterations());
}

// A raw buffered write of the bytes the archive stores per frame, cycling through 128 MB.
void raw_write(benchmark::State& state, bool jpeg) {
    std::vector<std::uint8_t> bytes;
    archive::EncodeFrame(bytes, frame(), kWidth, 50, jpeg, archive::kMarkerYuy2, 16, kHeight);
    Scratch scratch;
    const std::string path = (scratch.root / "raw.dat").string();
    std::uint64_t offset = 0;
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || ::pwrite(fd, bytes.data(), bytes.size(), off_t(offset)) < 0) {
            state.SkipWithError("write failed");
        }
        ::close(fd);
        offset = offset + bytes.size() > (128u << 20) ? 0 : offset + bytes.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["bytes_per_frame"] = double(bytes.size());
}

void BM_RawWriteJpegBytes(benchmark::State& state) {
    raw_write(state, true);
}
void BM_RawWriteBmpBytes(benchmark::State& state) {
    raw_write(state, false);
}

BENCHMARK(BM_ArchiveWriteJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWriteJpegBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArchiveWriteBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWriteBmpBytes)->Unit(benchmark::kMillisecond);

// Keeps the frames per second of every run for the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            const double seconds = r.real_accumulated_time;
            if (seconds > 0 && r.iterations > 0) {
                fps[r.benchmark_name()] = double(r.iterations) / seconds;
            }
        }
    }
    std::map<std::string, double> fps;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& f = reporter.fps;
    auto show = [&f](const char* what, const char* a, const char* b) {
        if (f.count(a) && f.count(b)) {
            std::printf("%-44s %8.1f fps / %8.1f fps = %.3f\n", what, f[a], f[b], f[a] / f[b]);
        }
    };
    std::printf("\n768x576 YUY2 frames written by the archive, as ratios:\n");
    show("JPEG q50 archive write / libjpeg alone", "BM_ArchiveWriteJpeg", "BM_LibjpegAlone");
    show("JPEG q50 archive write / raw write of bytes", "BM_ArchiveWriteJpeg",
         "BM_RawWriteJpegBytes");
    show("BMP archive write / raw write of bytes", "BM_ArchiveWriteBmp", "BM_RawWriteBmpBytes");
    if (f.count("BM_ArchiveWriteJpeg") && f.count("BM_LibjpegAlone")) {
        std::printf("target: jpeg_archive_write_vs_libjpeg %.3f (at least 0.85)\n",
                    f["BM_ArchiveWriteJpeg"] / f["BM_LibjpegAlone"]);
    }
    benchmark::Shutdown();
    return 0;
}
