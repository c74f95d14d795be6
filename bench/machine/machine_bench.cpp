// Cost of one simulated field with four chips capturing 768 x 576 YUY2 (interlaced, 288 lines
// of 1536 bytes per chip and field) from cameras with their default sensor noise into locked
// user buffers through the driver's program layout, as a ratio to a memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "machine/machine.h"
#include "platform/clock.h"

namespace {

using machine::Machine;
using machine::PhysAddr;

constexpr int kWidth = 768, kHeight = 576, kLine = kWidth * 2, kChips = 4;
constexpr std::size_t kFieldBytes = std::size_t(kChips) * (kHeight / 2) * kLine;

struct Capture {
    explicit Capture(Machine& m) : m(m) {
        for (int chip = 1; chip <= kChips; ++chip) {
            setup_chip(chip);
        }
    }
    ~Capture() {
        for (auto& b : blocks) {
            m.free(b.phys);
        }
        for (auto id : locks) {
            m.unlock_pages(id);
        }
    }

    void setup_chip(int chip) {
        const machine::PciLocation at = m.chip_location(chip);
        const std::uint16_t cmd = 0x0106;
        m.pci_write(at.bus, at.device, at.function, 4, &cmd, 2);
        m.write_register(1, 0x110,
                         std::uint32_t(0x4C) << 24 |
                             std::uint32_t(16 * (chip - 1) + chip - 1) << 16 | 0x80);
        m.write_register(chip, 0x004, 0x43);
        for (std::uint32_t base : {0x80u, 0u}) {
            m.write_register(chip, 0x04C + base, 0x20);
            m.write_register(chip, 0x050 + base, 0);
            m.write_register(chip, 0x01C + base, kWidth & 0xFF);
            m.write_register(chip, 0x014 + base, 576 & 0xFF);
            m.write_register(chip, 0x00C + base, 0x20 | (kWidth >> 8));
        }
        m.write_register(chip, 0x0D4, 0x44);

        buffers.emplace_back(std::size_t(kLine) * kHeight + 8192);
        std::uint8_t* data = buffers.back().data() + 100;
        const machine::LockedPages pages = m.lock_pages(data, std::size_t(kLine) * kHeight);
        locks.push_back(pages.id);
        auto phys = [&](std::size_t off) {
            const auto p = reinterpret_cast<std::uintptr_t>(data) + off;
            const std::size_t i = (p >> 12) - (reinterpret_cast<std::uintptr_t>(data) >> 12);
            return (pages.pages[i] & ~PhysAddr(4095)) | PhysAddr(p & 4095);
        };
        machine::MemoryBlock master = m.allocate(4096), even = m.allocate(16384),
                             odd = m.allocate(16384);
        blocks.push_back(master);
        blocks.push_back(even);
        blocks.push_back(odd);
        auto emitter = [](machine::MemoryBlock& b) {
            return [w = static_cast<std::uint32_t*>(b.host)](std::uint32_t c,
                                                             std::uint32_t a) mutable {
                *w++ = c;
                *w++ = a;
            };
        };
        auto e = emitter(even), o = emitter(odd), mw = emitter(master);
        e(0x80000006, 0);
        o(0x80000006, 0);
        std::size_t ptr = std::size_t(kHeight - 1) * kLine;
        for (int i = 0; i < kHeight; ++i, ptr -= kLine) {
            auto& emit = i % 2 == 0 ? e : o;
            const std::uint32_t room = 4096 - (phys(ptr) & 4095);
            if (std::uint32_t(kLine) <= room) {
                emit(0x1C000000 + kLine, phys(ptr));
            } else {
                emit(0x18000000 + room, phys(ptr));
                emit(0x14000000 + (kLine - room), phys(ptr + room));
            }
        }
        const PhysAddr w0 = master.phys;
        e(0x71080000, w0 + 24);
        o(0x71020000, w0 + 48);
        mw(0x80008004, 0);
        mw(0x70700000, w0 + 16);
        mw(0x70E00000, even.phys);
        mw(0x8000800C, 0);
        mw(0x70000000, w0 + 40);
        mw(0x70800000, odd.phys);
        mw(0x70000000, w0);
        m.write_register(chip, 0x114, master.phys);
        m.write_register(chip, 0x0DC, 0x03);
        m.write_register(chip, 0x10C, 0xAF);
    }

    Machine& m;
    std::vector<std::vector<std::uint8_t>> buffers;
    std::vector<std::uint32_t> locks;
    std::vector<machine::MemoryBlock> blocks;
};

void BM_MachineField(benchmark::State& state) {
    platform::clock::use_manual(0);
    Machine m;
    Capture capture(m);
    m.step_fields(2);
    for (auto _ : state) {
        m.step();
    }
    if (m.fault_count() != 0) {
        state.SkipWithError(m.faults().front().detail.c_str());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kFieldBytes));
    platform::clock::use_real();
}
BENCHMARK(BM_MachineField)->Unit(benchmark::kMicrosecond);

void BM_MemcpyField(benchmark::State& state) {
    std::vector<std::uint8_t> src(kFieldBytes, 1), dst(kFieldBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kFieldBytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kFieldBytes));
}
BENCHMARK(BM_MemcpyField)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            times[r.benchmark_name()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto field = reporter.times.find("BM_MachineField");
    const auto copy = reporter.times.find("BM_MemcpyField");
    if (field != reporter.times.end() && copy != reporter.times.end() && copy->second > 0) {
        std::printf("machine field (4 chips, 768x576 YUY2): %.1f us = %.2f x memcpy of %zu bytes "
                    "(%.1f %% of one 20 ms field period)\n",
                    field->second, field->second / copy->second, kFieldBytes,
                    field->second / 200.0);
        std::printf("target: machine_field_vs_memcpy %.2f (at most 3)\n",
                    field->second / copy->second);
    }
    benchmark::Shutdown();
    return 0;
}
