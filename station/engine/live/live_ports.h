// What the live-video engine (frame hand-off, main cycle, camera windows) calls outside itself:
// the chips' capture windows, board control with level control and the speaker, the remote
// stations, the main form's capture menus, and the station-wide camera tables it reads.
// The program wires the real parts in; tests give fakes.
#pragma once

#include "base/limits.h"

#include <win32/types.h>

#include <array>
#include <cstdint>
#include <string>

namespace station {

struct FrameFormat;

// What the hand-off reads of the capture layer's status record.
struct CaptureStatusInfo {
    bool CapturingNow = false;        // fCapturingNow
    std::uint32_t VideoAllocated = 0; // wNumVideoAllocated
};

// The capture window of chip k (1..4).
class CapturePort {
public:
    virtual ~CapturePort() = default;
    // WM_CAP_GET_STATUS; false when the window gave no status.
    virtual bool GetStatus(int k, CaptureStatusInfo& status) = 0;
    virtual void SetPreview(int k, bool on) = 0; // WM_CAP_SET_PREVIEW
    virtual void SetOverlay(int k, bool on) = 0; // WM_CAP_SET_OVERLAY
    virtual void SequenceNoFile(int k) = 0;      // WM_CAP_SEQUENCE_NOFILE, returns at once
    virtual void Stop(int k) = 0;                // WM_CAP_STOP
    virtual void DlgVideoFormat(int k) = 0;      // WM_CAP_DLG_VIDEOFORMAT
    virtual void DlgVideoSource(int k) = 0;      // WM_CAP_DLG_VIDEOSOURCE
    // True when `address` is the user address at which chip k's frame-descriptor table is
    // mapped into this process (the kernel device's view).
    virtual bool IsMappedFrameTable(int k, std::uintptr_t address) = 0;
    // The window that owns the driver's error messages of chip k.
    virtual HWND ErrorOwner(int /*k*/) const { return nullptr; }
};

// The I2C counters of board control, as the diagnostics window shows them.
struct I2CFigures {
    // [kind 0..3][entry 0..8]: multiplexers, camera-level DAC, sensor inputs, relay outputs.
    std::array<std::array<std::uint64_t, 9>, 4> ErrorCounts{};
    std::array<std::uint64_t, 4> FailTotals{};
    std::uint64_t BusResetCount = 0;
};

// Board control, level control and the PC speaker. Chip k is 1..4, monitor m 1..4.
class BoardPort {
public:
    virtual ~BoardPort() = default;
    virtual bool BoardControlOn() const = 0;
    // CaptureMuxWanted[k] := camera, then the switch, with the DMA stop/start when `stopDma`.
    virtual void SwitchCaptureMux(int k, int camera, bool stopDma) = 0;
    virtual void WriteCameraLevel(std::int32_t level, int k) = 0;
    // Only called with board control on.
    virtual void SetSaturation(std::int32_t value, int k) = 0; // TarvoSetSaturation
    virtual void SetHue(std::int32_t value, int k) = 0;        // TarvoSetHue
    virtual void SetVerticalFilter(int k) = 0;
    virtual void SetLumaNotch(int k) = 0;
    // The watchdog's snapshot (TarvoReadAllRegs, TarvoReadRisc).
    virtual void TakeWatchdogSnapshot(int k) = 0;
    // TarvoCompareRegs (arrays of 16) and TarvoCompareRisc (arrays of 4096): the count of
    // entries filled, as the library answers it (the caller clamps it).
    virtual int CompareRegs(std::int32_t* addresses, std::int32_t* old, std::int32_t* now,
                            int k) = 0;
    virtual int CompareRisc(std::int32_t* addresses, std::int32_t* old, std::int32_t* now,
                            int k) = 0;
    virtual void ResetFormat(int k) = 0; // TarvoResetFormat
    // MonitorMuxWanted[m] := camera, then SwitchMonitorMux(m).
    virtual void SwitchMonitorMux(int m, int camera) = 0;
    virtual void UpdateRelayOutputs() = 0;
    virtual void ReadSensorInputs() = 0;
    virtual std::int16_t SensorWord() const = 0;
    // SpeakerOn(frequency), `ms` later SpeakerOff.
    virtual void Tone(std::uint32_t frequency, std::uint32_t ms) = 0;
    // Automatic level control of camera a on chip k from this frame (called only when the
    // camera's AutoGain is on).
    virtual void AutoLevelCamera(int k, int a, const FrameFormat& format,
                                 const std::uint8_t* pixels) = 0;
    // Records `step` in the level-step history of camera c on chip k.
    virtual void RecordLevelStep(int k, int c, std::int32_t step) = 0;
    virtual I2CFigures I2CCounters() const = 0;
    virtual void ClearI2CCounters() = 0;
};

// The links to the remote stations 1..20.
class RemotePort {
public:
    virtual ~RemotePort() = default;
    virtual bool Exists(int n) const = 0;
    // Station n has subscribed to camera `camera` of chip `chip`.
    virtual bool Subscribed(int n, int chip, int camera) const = 0;
    // Renews this station's subscription to (chip, camera) of station n: wanted 1, JPEG,
    // quality.
    virtual void RenewSubscription(int n, int chip, int camera, bool jpeg,
                                   std::int16_t quality) = 0;
    virtual void SendTick(int n) = 0;
    // The link's monitor-switch request (record type 5).
    virtual void RequestMonitorSwitch(int n, std::int16_t camera, std::int16_t monitor) = 0;
};

// No remote links yet: no station exists, nothing is sent.
class NoRemotes : public RemotePort {
public:
    bool Exists(int) const override { return false; }
    bool Subscribed(int, int, int) const override { return false; }
    void RenewSubscription(int, int, int, bool, std::int16_t) override {}
    void SendTick(int) override {}
    void RequestMonitorSwitch(int, std::int16_t, std::int16_t) override {}
};

// The main form's capture menus and the access check (rights 12 format, 13 source).
class MenuPort {
public:
    virtual ~MenuPort() = default;
    virtual void EnableResMenu(bool on) = 0;
    virtual void EnableResItem(int k, bool on) = 0;
    virtual void EnableSoerceMenu(bool on) = 0;
    virtual void EnableSoerceItem(int k, bool on) = 0;
    virtual bool QuerryStatus(int right) const = 0;
};

// No menus: nothing to switch, and no right is granted.
class NoMenus : public MenuPort {
public:
    void EnableResMenu(bool) override {}
    void EnableResItem(int, bool) override {}
    void EnableSoerceMenu(bool) override {}
    void EnableSoerceItem(int, bool) override {}
    bool QuerryStatus(int) const override { return false; }
};

// Station-wide camera tables the live engine reads (loaded with the configuration). Indexed
// from 1 like the chips and cameras; entry 0 is unused.
struct LiveTables {
    std::array<std::array<std::int32_t, kCameraCount + 1>, kChipCount + 1> AdcRange{};
    std::array<std::array<bool, kCameraCount + 1>, kChipCount + 1> AutoGain{};
    std::array<std::int32_t, kCameraCount + 1> CamSat{};
    std::array<std::int32_t, kCameraCount + 1> CamHue{};
    std::array<std::int32_t, kCameraCount + 1> CamPriority{};
    std::array<std::string, kCameraCount + 1> CamNames{}; // CP1251
    std::array<std::int32_t, kChipCount + 1> SwitchDelay{};
    std::array<bool, kChipCount + 1> NotchOff{}; // the chip's luma notch filter switched off
    std::array<bool, kMonitorCount + 1> MonByFind{};
    std::array<bool, kMonitorCount + 1> MonManual{};

    LiveTables();
};

} // namespace station
