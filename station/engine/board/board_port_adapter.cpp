#include "board_port_adapter.h"

#include "base/frame_pixels.h"
#include "base/limits.h"
#include "alarm/speaker.h"
#include "win32/synch.h"

#include <cstddef>

namespace station {
namespace {

static_assert(kChipCount == kChipCount && kCameraCount == kCameraCount &&
              kMonitorCount == kMonitorCount);

// A camera number as board control keeps it; 0 (never switched to) for one out of range.
std::uint8_t camera_byte(int camera) {
    return ValidCamera(camera) ? static_cast<std::uint8_t>(camera) : 0;
}

} // namespace

BoardPortAdapter::BoardPortAdapter(const BoardLibrary& library, BoardControl& control,
                                   LevelStepTable& steps)
    : library_(library), control_(control), steps_(steps) {}

void BoardPortAdapter::Attach(LiveTables& tables, CameraSlots& windows) {
    tables_ = &tables;
    windows_ = &windows;
}

bool BoardPortAdapter::library_chip(int k) const {
    return library_.BoardControlOn() && ValidChip(k);
}

bool BoardPortAdapter::BoardControlOn() const {
    return library_.BoardControlOn();
}

void BoardPortAdapter::SwitchCaptureMux(int k, int camera, bool stopDma) {
    if (!ValidChip(k)) {
        return;
    }
    control_.CaptureMuxWanted[static_cast<std::size_t>(k - 1)] = camera_byte(camera);
    control_.SwitchCaptureMux(stopDma, k);
}

void BoardPortAdapter::WriteCameraLevel(std::int32_t level, int k) {
    control_.WriteCameraLevel(level, k);
}

void BoardPortAdapter::SetSaturation(std::int32_t value, int k) {
    if (library_chip(k)) {
        library_.Table().TarvoSetSaturation(value, k - 1);
    }
}

void BoardPortAdapter::SetHue(std::int32_t value, int k) {
    if (library_chip(k)) {
        library_.Table().TarvoSetHue(value, k - 1);
    }
}

void BoardPortAdapter::SetVerticalFilter(int k) {
    control_.SetVerticalFilter(k);
}

void BoardPortAdapter::SetLumaNotch(int k) {
    if (!ValidChip(k)) {
        return;
    }
    const bool notch_off = tables_ != nullptr && tables_->NotchOff[static_cast<std::size_t>(k)];
    control_.SetLumaNotch(k, notch_off);
}

void BoardPortAdapter::TakeWatchdogSnapshot(int k) {
    if (library_chip(k)) {
        library_.Table().TarvoReadAllRegs(k - 1);
        library_.Table().TarvoReadRisc(k - 1);
    }
}

int BoardPortAdapter::CompareRegs(std::int32_t* addresses, std::int32_t* old, std::int32_t* now,
                                  int k) {
    return library_chip(k) ? library_.Table().TarvoCompareRegs(addresses, old, now, k - 1) : 0;
}

int BoardPortAdapter::CompareRisc(std::int32_t* addresses, std::int32_t* old, std::int32_t* now,
                                  int k) {
    return library_chip(k) ? library_.Table().TarvoCompareRisc(addresses, old, now, k - 1) : 0;
}

void BoardPortAdapter::ResetFormat(int k) {
    if (library_chip(k)) {
        library_.Table().TarvoResetFormat(k - 1);
    }
}

void BoardPortAdapter::SwitchMonitorMux(int m, int camera) {
    if (!ValidMonitor(m)) {
        return;
    }
    control_.MonitorMuxWanted[static_cast<std::size_t>(m - 1)] = camera_byte(camera);
    control_.SwitchMonitorMux(m);
}

void BoardPortAdapter::UpdateRelayOutputs() {
    if (windows_ != nullptr) {
        control_.UpdateRelayOutputs(*windows_);
    } else {
        control_.WriteRelayOutputs(); // no window drives an output
    }
}

void BoardPortAdapter::ReadSensorInputs() {
    control_.ReadSensorInputs();
}

std::int16_t BoardPortAdapter::SensorWord() const {
    return control_.SensorWord;
}

void BoardPortAdapter::Tone(std::uint32_t frequency, std::uint32_t ms) {
    SpeakerOn(frequency);
    Sleep(ms);
    SpeakerOff();
}

void BoardPortAdapter::AutoLevelCamera(int k, int a, const FrameFormat& format,
                                       const std::uint8_t* pixels) {
    if (tables_ == nullptr || !ValidChip(k) || !ValidCamera(a) || pixels == nullptr ||
        !FrameFormatKnown(format)) {
        return;
    }
    const LevelFrame frame{
        format.Width, format.Height, format.BitCount,
        [&format, pixels](int x, int y) { return FramePixelLuma(x, y, format, pixels); }};
    std::int32_t& level =
        tables_->AdcRange[static_cast<std::size_t>(k)][static_cast<std::size_t>(a)];
    level = station::AutoLevelCamera(
        frame, level, steps_[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(a - 1)]);
}

void BoardPortAdapter::RecordLevelStep(int k, int c, std::int32_t step) {
    if (ValidChip(k) && ValidCamera(c)) {
        steps_[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(c - 1)].Record(step);
    }
}

I2CFigures BoardPortAdapter::I2CCounters() const {
    I2CFigures f;
    f.ErrorCounts = control_.Counters.I2CErrorCounts;
    f.FailTotals = control_.Counters.I2CFailTotals;
    f.BusResetCount = control_.Counters.BusResetCount;
    return f;
}

void BoardPortAdapter::ClearI2CCounters() {
    control_.Counters.Clear();
}

} // namespace station
