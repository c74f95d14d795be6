// Fakes of the capture windows, board control, remote stations and the video panel, and an
// in-memory chip: a descriptor table with 8-bit 64 x 4 frame buffers.
#pragma once

#include "live/chanel_slots.h"
#include "live/chanel_window.h"
#include "live/frame_descriptor.h"
#include "live/frame_handoff.h"
#include "live/live_ports.h"
#include "live/live_station.h"

#include <platform/clock.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace live_test {

using namespace station;

struct FakeCapture : CapturePort {
    std::array<CaptureStatusInfo, kChipCount + 1> status{};
    std::array<std::uintptr_t, kChipCount + 1> mapped{};
    std::vector<std::string> log;

    bool GetStatus(int k, CaptureStatusInfo& s) override {
        s = status[static_cast<std::size_t>(k)];
        return true;
    }
    void SetPreview(int k, bool on) override { note("preview", k, on); }
    void SetOverlay(int k, bool on) override { note("overlay", k, on); }
    void SequenceNoFile(int k) override { note("sequence", k, true); }
    void Stop(int k) override {
        note("stop", k, true);
        status[static_cast<std::size_t>(k)].CapturingNow = false;
    }
    void DlgVideoFormat(int k) override { note("dlgformat", k, true); }
    void DlgVideoSource(int k) override { note("dlgsource", k, true); }
    bool IsMappedFrameTable(int k, std::uintptr_t address, std::uintptr_t) override {
        return address != 0 && address == mapped[static_cast<std::size_t>(k)];
    }
    HWND ErrorOwner(int k) const override {
        return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1000 + k));
    }
    void note(const char* what, int k, bool on) {
        log.push_back(std::string(what) + " " + std::to_string(k) + (on ? "" : " off"));
    }
};

struct FakeBoard : BoardPort {
    bool on = true;
    std::vector<std::string> log;
    std::vector<std::uint32_t> tones;
    std::vector<std::tuple<int, int>> autoLevels; // (chip, camera)
    std::vector<std::tuple<int, int, int>> levelSteps;
    std::vector<std::tuple<int, int>> monitors; // (monitor, camera)
    int regDiffs[kChipCount + 1] = {};
    int riscDiffs[kChipCount + 1] = {};
    int regCompares = 0;
    int riscCompares = 0;
    std::int16_t sensor = 0;
    I2CFigures figures;
    int clears = 0;

    bool BoardControlOn() const override { return on; }
    void SwitchCaptureMux(int k, int camera, bool stop) override {
        log.push_back("mux " + std::to_string(k) + " " + std::to_string(camera) +
                      (stop ? " stop" : ""));
    }
    void WriteCameraLevel(std::int32_t level, int k) override {
        log.push_back("level " + std::to_string(k) + " " + std::to_string(level));
    }
    void SetSaturation(std::int32_t v, int k) override {
        log.push_back("sat " + std::to_string(k) + " " + std::to_string(v));
    }
    void SetHue(std::int32_t v, int k) override {
        log.push_back("hue " + std::to_string(k) + " " + std::to_string(v));
    }
    void SetVerticalFilter(int k) override { log.push_back("vfilter " + std::to_string(k)); }
    void SetLumaNotch(int k) override { log.push_back("notch " + std::to_string(k)); }
    void TakeWatchdogSnapshot(int k) override { log.push_back("snapshot " + std::to_string(k)); }
    static int fill(int n, std::int32_t* a, std::int32_t* o, std::int32_t* v) {
        for (int j = 0; j < std::min(n, 16); ++j) {
            a[j] = 0x10 + j;
            o[j] = j;
            v[j] = 0xF0 + j;
        }
        return n;
    }
    int CompareRegs(std::int32_t* a, std::int32_t* o, std::int32_t* v, int k) override {
        ++regCompares;
        return fill(regDiffs[k], a, o, v);
    }
    int CompareRisc(std::int32_t* a, std::int32_t* o, std::int32_t* v, int k) override {
        ++riscCompares;
        return fill(riscDiffs[k], a, o, v);
    }
    void ResetFormat(int k) override { log.push_back("resetformat " + std::to_string(k)); }
    void SwitchMonitorMux(int m, int camera) override { monitors.emplace_back(m, camera); }
    void UpdateRelayOutputs() override {}
    void ReadSensorInputs() override {}
    std::int16_t SensorWord() const override { return sensor; }
    void Tone(std::uint32_t frequency, std::uint32_t) override { tones.push_back(frequency); }
    void AutoLevelCamera(int k, int a, const FrameFormat&, const std::uint8_t*) override {
        autoLevels.emplace_back(k, a);
    }
    void RecordLevelStep(int k, int c, std::int32_t step) override {
        levelSteps.emplace_back(k, c, step);
    }
    I2CFigures I2CCounters() const override { return figures; }
    void ClearI2CCounters() override {
        ++clears;
        figures = I2CFigures{};
    }

    // The calls of one kind, e.g. "mux".
    std::vector<std::string> calls(const std::string& kind) const {
        std::vector<std::string> out;
        for (const std::string& s : log) {
            if (s.rfind(kind + " ", 0) == 0) {
                out.push_back(s);
            }
        }
        return out;
    }
};

struct FakeRemotes : RemotePort {
    std::set<int> exists;
    std::set<std::tuple<int, int, int>> subscribed; // (station, chip, camera)
    std::vector<std::string> log;

    bool Exists(int n) const override { return exists.count(n) != 0; }
    bool Subscribed(int n, int chip, int camera) const override {
        return subscribed.count({n, chip, camera}) != 0;
    }
    void RenewSubscription(int n, int chip, int camera, bool jpeg, std::int16_t q) override {
        log.push_back("renew " + std::to_string(n) + " " + std::to_string(chip) + " " +
                      std::to_string(camera) + " " + std::to_string(jpeg) + " " +
                      std::to_string(q));
    }
    void SendTick(int n) override { log.push_back("send " + std::to_string(n)); }
    void RequestMonitorSwitch(int n, std::int16_t camera, std::int16_t monitor) override {
        log.push_back("monitor " + std::to_string(n) + " " + std::to_string(camera) + " " +
                      std::to_string(monitor));
    }
};

// The live engine's ports where a test needs none of them.
struct NoLivePorts {
    NoRemotes remotes;
    NoMenus menus;
    NoFrameActions actions;
    LiveStation::Ports Ports() { return {remotes, menus, actions}; }
};

struct FakeMenus : MenuPort {
    bool allowed = true;
    std::vector<std::string> log;
    void EnableResMenu(bool on) override {
        log.push_back(std::string("res ") + (on ? "on" : "off"));
    }
    void EnableResItem(int k, bool on) override {
        log.push_back("res" + std::to_string(k) + (on ? " on" : " off"));
    }
    void EnableSoerceMenu(bool on) override {
        log.push_back(std::string("source ") + (on ? "on" : "off"));
    }
    void EnableSoerceItem(int k, bool on) override {
        log.push_back("source" + std::to_string(k) + (on ? " on" : " off"));
    }
    bool QuerryStatus(int) const override { return allowed; }
};

struct FakePainter : ChanelPainter {
    int width = 200;
    int height = 100;
    bool minimized = false;
    struct Picture {
        int width, height, bits;
        std::uint32_t colours;
        std::vector<std::uint8_t> firstBytes;
    };
    std::vector<Picture> pictures;
    std::vector<std::tuple<AlarmPen, int, int, int, int>> rects;
    std::vector<std::pair<AlarmPen, std::vector<PanelPoint>>> lines;
    int repaints = 0;
    std::vector<std::pair<int, int>> popups;
    bool writeDown = false;
    int minimizes = 0;
    int restores = 0;
    int captions = 0;

    int PanelWidth() const override { return width; }
    int PanelHeight() const override { return height; }
    bool Minimized() const override { return minimized; }
    void DrawPicture(std::span<const std::uint8_t> h, const std::uint8_t* bits) override {
        auto i32 = [&](std::size_t at) {
            std::int32_t v;
            std::memcpy(&v, h.data() + at, 4);
            return v;
        };
        pictures.push_back({i32(4), i32(8), h[14], static_cast<std::uint32_t>(i32(32)),
                            std::vector<std::uint8_t>(bits, bits + 8)});
    }
    void DrawRect(AlarmPen pen, int l, int t, int r, int b) override {
        rects.emplace_back(pen, l, t, r, b);
    }
    void DrawPolyline(AlarmPen pen, std::span<const PanelPoint> pts) override {
        lines.emplace_back(pen, std::vector<PanelPoint>(pts.begin(), pts.end()));
    }
    void Repaint() override { ++repaints; }
    void PopupMonitorMenu(int x, int y) override { popups.emplace_back(x, y); }
    bool WriteButtonDown() const override { return writeDown; }
    void Minimize() override {
        ++minimizes;
        minimized = true;
    }
    void Restore() override {
        ++restores;
        minimized = false;
    }
    void RefreshCaption() override { ++captions; }
};

// A 40-byte bitmap header.
inline std::vector<std::uint8_t> BitmapHeader(int w, int h, int bits, int marker = 0) {
    std::vector<std::uint8_t> b(40, 0);
    auto put = [&](std::size_t at, std::int32_t v) { std::memcpy(b.data() + at, &v, 4); };
    put(0, 40);
    put(4, w);
    put(8, h);
    b[12] = 1;
    b[14] = static_cast<std::uint8_t>(bits);
    put(24, marker);
    return b;
}

// Camera windows entered into the slots they show in.
struct WindowSet {
    ChanelSlots& table;
    std::vector<std::unique_ptr<ChanelWindow>> windows;

    ChanelWindow& Add(int slot, int camera, int chip, int remote, const ChanelContext& ctx) {
        windows.push_back(std::make_unique<ChanelWindow>(slot, ctx));
        ChanelWindow& w = *windows.back();
        w.CamNumber = camera;
        w.ChNumber = chip;
        w.RemNumber = remote;
        table.ChanelForms[static_cast<std::size_t>(slot)] = &w;
        table.ChanelPresent[static_cast<std::size_t>(slot)] = true;
        return w;
    }
    void Clear() {
        for (auto& w : windows) {
            table.Release(w->ChanelNumber);
        }
        windows.clear();
    }
};

// One chip's table and buffers of 8-bit 64 x 4 frames (the ramp fills the top stored row).
struct MemoryChip {
    static constexpr int kWidth = 64;
    static constexpr int kHeight = 4;
    alignas(8) std::array<FrameDescriptor, kFrameTableSize> table{};
    std::vector<std::vector<std::uint8_t>> buffers;

    MemoryChip() : buffers(kFrameTableSize, std::vector<std::uint8_t>(kWidth * kHeight, 0)) {
        for (int i = 0; i < kFrameTableSize; ++i) {
            table[static_cast<std::size_t>(i)].BufferAddress =
                reinterpret_cast<std::uintptr_t>(buffers[static_cast<std::size_t>(i)].data());
        }
    }
    std::uintptr_t address() const { return reinterpret_cast<std::uintptr_t>(table.data()); }
    FrameDescriptor& d(int i) { return table[static_cast<std::size_t>(i)]; }
    // The chip writes a frame of `value` into buffer i, captured at `time`.
    void Fill(int i, std::uint32_t time, std::uint8_t value = 0x80) {
        std::fill(buffers[static_cast<std::size_t>(i)].begin(),
                  buffers[static_cast<std::size_t>(i)].end(), value);
        d(i).Error = 0;
        d(i).CaptureTime = time;
        StoreReady(d(i), 1);
    }
    // The buffer is ready but the chip wrote nothing into it (ramp intact).
    void ReadyUntouched(int i, std::uint32_t time) {
        d(i).CaptureTime = time;
        StoreReady(d(i), 1);
    }
    // The chip closed the frame with error bits.
    void FailWith(int i, std::uint32_t error, std::uint32_t time) {
        Fill(i, time);
        d(i).Error = error;
    }
    bool Ready(int i) { return LoadReady(d(i)) != 0; }
};

} // namespace live_test
