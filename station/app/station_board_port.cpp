#include "station_board_port.h"

#include "frame_pixels.h"
#include "speaker.h"

#include "win32/synch.h"

#include <algorithm>

namespace station {
namespace {

std::size_t at(int n) {
    return static_cast<std::size_t>(n - 1);
}

bool chip_ok(int k) {
    return k >= 1 && k <= kChipCount;
}

bool camera_ok(int c) {
    return c >= 1 && c <= kCameraCount;
}

} // namespace

StationBoardPort::StationBoardPort(const BoardLibrary& library, BoardControl& board)
    : library_(library), board_(board) {}

bool StationBoardPort::BoardControlOn() const {
    return library_.BoardControlOn();
}

void StationBoardPort::SwitchCaptureMux(int k, int camera, bool stopDma) {
    if (!chip_ok(k)) {
        return;
    }
    board_.CaptureMuxWanted[at(k)] = static_cast<std::uint8_t>(camera);
    board_.SwitchCaptureMux(stopDma, k);
}

void StationBoardPort::WriteCameraLevel(std::int32_t level, int k) {
    board_.WriteCameraLevel(level, k);
}

void StationBoardPort::SetSaturation(std::int32_t value, int k) {
    if (BoardControlOn() && chip_ok(k)) {
        library_.Table().TarvoSetSaturation(value, k - 1);
    }
}

void StationBoardPort::SetHue(std::int32_t value, int k) {
    if (BoardControlOn() && chip_ok(k)) {
        library_.Table().TarvoSetHue(value, k - 1);
    }
}

void StationBoardPort::SetVerticalFilter(int k) {
    board_.SetVerticalFilter(k);
}

void StationBoardPort::SetLumaNotch(int k) {
    if (chip_ok(k)) {
        board_.SetLumaNotch(k, NotchOff[at(k)]);
    }
}

void StationBoardPort::TakeWatchdogSnapshot(int k) {
    if (BoardControlOn() && chip_ok(k)) {
        library_.Table().TarvoReadAllRegs(k - 1);
        library_.Table().TarvoReadRisc(k - 1);
    }
}

int StationBoardPort::CompareRegs(std::int32_t* addresses, std::int32_t* old, std::int32_t* now,
                                  int k) {
    if (!BoardControlOn() || !chip_ok(k)) {
        return 0;
    }
    return library_.Table().TarvoCompareRegs(addresses, old, now, k - 1);
}

int StationBoardPort::CompareRisc(std::int32_t* addresses, std::int32_t* old, std::int32_t* now,
                                  int k) {
    if (!BoardControlOn() || !chip_ok(k)) {
        return 0;
    }
    return library_.Table().TarvoCompareRisc(addresses, old, now, k - 1);
}

void StationBoardPort::ResetFormat(int k) {
    if (BoardControlOn() && chip_ok(k)) {
        library_.Table().TarvoResetFormat(k - 1);
    }
}

void StationBoardPort::SwitchMonitorMux(int m, int camera) {
    if (m < 1 || m > kMonitorCount) {
        return;
    }
    board_.MonitorMuxWanted[at(m)] = static_cast<std::uint8_t>(camera);
    board_.SwitchMonitorMux(m);
}

void StationBoardPort::UpdateRelayOutputs() {
    board_.UpdateRelayOutputs(no_alarm_outputs_);
}

void StationBoardPort::ReadSensorInputs() {
    board_.ReadSensorInputs();
}

std::int16_t StationBoardPort::SensorWord() const {
    return board_.SensorWord;
}

void StationBoardPort::Tone(std::uint32_t frequency, std::uint32_t ms) {
    SpeakerOn(frequency);
    Sleep(ms);
    SpeakerOff();
}

void StationBoardPort::AutoLevelCamera(int k, int a, const FrameFormat& format,
                                       const std::uint8_t* pixels) {
    if (tables_ == nullptr || !chip_ok(k) || !camera_ok(a)) {
        return;
    }
    const LevelFrame frame{format.Width, format.Height, format.BitCount,
                           [&](int x, int y) { return FramePixelLuma(x, y, format, pixels); }};
    std::int32_t& level =
        tables_->AdcRange[static_cast<std::size_t>(k)][static_cast<std::size_t>(a)];
    level = ::station::AutoLevelCamera(frame, level, LevelSteps[at(k)][at(a)]);
}

void StationBoardPort::RecordLevelStep(int k, int c, std::int32_t step) {
    if (chip_ok(k) && camera_ok(c)) {
        LevelSteps[at(k)][at(c)].Record(step);
    }
}

I2CFigures StationBoardPort::I2CCounters() const {
    I2CFigures f;
    const auto& c = board_.Counters;
    for (std::size_t kind = 0; kind < f.ErrorCounts.size(); ++kind) {
        std::copy(c.I2CErrorCounts[kind].begin(), c.I2CErrorCounts[kind].end(),
                  f.ErrorCounts[kind].begin());
    }
    f.FailTotals = c.I2CFailTotals;
    f.BusResetCount = c.BusResetCount;
    return f;
}

void StationBoardPort::ClearI2CCounters() {
    board_.Counters.Clear();
}

} // namespace station
