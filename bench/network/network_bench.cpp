// The links' send step for twenty subscribed remote stations, and the receiving side's
// reassembly and parsing, against a memcpy of the same bytes.
#include "live/live_station.h"
#include "network/packet_assembler.h"
#include "network/packet_format.h"
#include "network/rem_stations.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace station;

constexpr int kWidth = 768;
constexpr int kHeight = 288;
constexpr int kFrameBytes = kWidth * kHeight * 12 / 8; // packed 4:1:1
constexpr int kLinks = 20;

// Takes every byte at once, as a socket with room would: one copy into its buffer (the
// kernel's send buffer), which the next packet overwrites.
struct SinkSocket : ClientSocketPort {
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(8 << 20);
    std::size_t used = 0;
    bool Open(const std::string&, int) override { return true; }
    void Close() override {}
    bool Active() const override { return true; }
    int SendBuf(const std::uint8_t* data, int count) override {
        std::memcpy(buffer.data(), data, std::min(buffer.size(), static_cast<std::size_t>(count)));
        used += static_cast<std::size_t>(count);
        return count;
    }
    Ipv4 RemoteAddress() const override { return 0x7F000001; }
};

struct NoCapture : CapturePort {
    bool GetStatus(int, CaptureStatusInfo&) override { return false; }
    void SetPreview(int, bool) override {}
    void SetOverlay(int, bool) override {}
    void SequenceNoFile(int) override {}
    void Stop(int) override {}
    void DlgVideoFormat(int) override {}
    void DlgVideoSource(int) override {}
    bool IsMappedFrameTable(int, std::uintptr_t) override { return false; }
};

struct NoBoard : BoardPort {
    bool BoardControlOn() const override { return false; }
    void SwitchCaptureMux(int, int, bool) override {}
    void WriteCameraLevel(std::int32_t, int) override {}
    void SetSaturation(std::int32_t, int) override {}
    void SetHue(std::int32_t, int) override {}
    void SetVerticalFilter(int) override {}
    void SetLumaNotch(int) override {}
    void TakeWatchdogSnapshot(int) override {}
    int CompareRegs(std::int32_t*, std::int32_t*, std::int32_t*, int) override { return 0; }
    int CompareRisc(std::int32_t*, std::int32_t*, std::int32_t*, int) override { return 0; }
    void ResetFormat(int) override {}
    void SwitchMonitorMux(int, int) override {}
    void UpdateRelayOutputs() override {}
    void ReadSensorInputs() override {}
    std::int16_t SensorWord() const override { return 0; }
    void Tone(std::uint32_t, std::uint32_t) override {}
    void AutoLevelCamera(int, int, const FrameFormat&, const std::uint8_t*) override {}
    void RecordLevelStep(int, int, std::int32_t) override {}
    I2CFigures I2CCounters() const override { return {}; }
    void ClearI2CCounters() override {}
};

std::vector<std::uint8_t> format_header() {
    std::vector<std::uint8_t> h(40, 0);
    auto put = [&](std::size_t at, std::int32_t v) { std::memcpy(h.data() + at, &v, 4); };
    put(0, 40);
    put(4, kWidth);
    put(8, kHeight);
    h[12] = 1;
    h[14] = 16;
    put(24, 2);
    return h;
}

struct Rig {
    NoCapture capture;
    NoBoard board;
    BaseState base;
    NoRemotes remotes;
    NoMenus menus;
    NoFrameActions actions;
    LiveStation live{capture, board, base, {remotes, menus, actions}};
    SettingsState settings;
    bool networkOn = true;
    archive::ArchiveContext archive;
    NoViewer viewer;
    struct NoServer : ServerSocketPort {
        bool Open(int) override { return true; }
        void Close() override {}
        bool Active() const override { return true; }
        int ActiveConnections() const override { return 0; }
        ServerConnectionPort& Connection(int) override { std::abort(); }
    } server;
    std::vector<SinkSocket*> sockets;
    RemStations links{RemHost{settings, networkOn, live, archive, viewer}, server,
                      [this](ClientSocketEvents&) {
                          auto s = std::make_unique<SinkSocket>();
                          sockets.push_back(s.get());
                          return s;
                      }};

    Rig() {
        for (int n = 1; n <= kLinks; ++n) {
            links.Create(n);
        }
        for (int c = 1; c <= kCameraCount; ++c) {
            FrameCopy& f = live.Handoff.Chip(1).FrameCopies[static_cast<std::size_t>(c)];
            f.Header = format_header();
            f.Pixels.assign(kFrameBytes, static_cast<std::uint8_t>(c));
            f.Width = kWidth;
            f.Height = kHeight;
            f.Pending = true;
        }
    }
    // Every link wants one frame of every camera again (what a subscription record does).
    void subscribe() {
        for (int n = 1; n <= kLinks; ++n) {
            RemStation& r = *links.Get(n);
            for (int c = 1; c <= kCameraCount; ++c) {
                r.PeerWantsFrame[1][c] = 1;
            }
        }
    }
};

// One pass: every link sends sixteen frames.
void BM_SendStep(benchmark::State& state) {
    Rig rig;
    std::size_t bytes = 0;
    for (auto _ : state) {
        rig.subscribe();
        for (int n = 1; n <= kLinks; ++n) {
            rig.links.SendTick(n);
        }
        for (SinkSocket* s : rig.sockets) {
            bytes += s->used;
            s->used = 0;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kLinks * kCameraCount,
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SendStep)->Unit(benchmark::kMillisecond);

// The receiving side of one link: its bytes reassembled and parsed.
void BM_Receive(benchmark::State& state) {
    Rig rig;
    rig.subscribe();
    rig.links.SendTick(1);
    const std::vector<std::uint8_t> stream(rig.sockets[0]->buffer.begin(),
                                           rig.sockets[0]->buffer.begin() +
                                               static_cast<long>(rig.sockets[0]->used));
    if (stream.size() > rig.sockets[0]->buffer.size()) {
        std::abort(); // one packet of sixteen frames fits the buffer
    }
    struct Count : PacketSink {
        int frames = 0;
        void OnCameraFrame(const CameraFrameRecord&) override { ++frames; }
    } sink;
    PacketAssembler a;
    for (auto _ : state) {
        // In chunks of 64 KiB, as reads come.
        for (std::size_t at = 0; at < stream.size(); at += 65536) {
            const std::size_t n = std::min<std::size_t>(65536, stream.size() - at);
            a.Feed(std::span(stream.data() + at, n),
                   [&](std::span<const std::uint8_t> p) { ParsePacket(p, sink); });
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["frames"] = benchmark::Counter(sink.frames, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Receive)->Unit(benchmark::kMillisecond);

// The same bytes copied once.
void BM_Memcpy(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(kLinks) * kCameraCount * kFrameBytes;
    std::vector<std::uint8_t> from(n, 1);
    std::vector<std::uint8_t> to(n);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), n);
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * n));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// Seconds of CPU per run of `fn`, over at least `min_s` seconds.
template <typename Fn> double cpu_per_run(Fn fn, double min_s = 0.5) {
    using clock = std::chrono::steady_clock;
    int runs = 0;
    const auto start = clock::now();
    const std::clock_t cpu0 = std::clock();
    do {
        fn();
        ++runs;
    } while (std::chrono::duration<double>(clock::now() - start).count() < min_s);
    return double(std::clock() - cpu0) / CLOCKS_PER_SEC / runs;
}

void print_targets() {
    Rig rig;
    const double send = cpu_per_run([&] {
        rig.subscribe();
        for (int n = 1; n <= kLinks; ++n) {
            rig.links.SendTick(n);
        }
        for (SinkSocket* s : rig.sockets) {
            s->used = 0;
        }
    });
    const std::size_t n = static_cast<std::size_t>(kLinks) * kCameraCount * kFrameBytes;
    std::vector<std::uint8_t> from(n, 1);
    std::vector<std::uint8_t> to(n);
    const double copy = cpu_per_run([&] {
        std::memcpy(to.data(), from.data(), n);
        benchmark::DoNotOptimize(to.data());
    });
    const double frames = kLinks * kCameraCount;
    std::printf("target: frames_per_cpu_s %.0f (at least 1000)\n", frames / send);
    std::printf("target: cpu_us_per_frame_sent %.1f (at most 1000)\n", 1e6 * send / frames);
    std::printf("target: send_bytes_per_s_vs_memcpy %.3f (at least 0.2)\n", copy / send);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    print_targets();
    benchmark::Shutdown();
    return 0;
}
