#include "alarm_actions.h"

#include "base/frame_pixels.h"
#include "base/language_lines.h"
#include "live/frame_handoff.h"
#include "live/live_ports.h"

#include <win32/sysinfo.h>

#include <algorithm>
#include <array>
#include <exception>

namespace station {

namespace {

// The error tone of a failed archive write.
constexpr std::uint32_t kErrorToneHz = 2000;
constexpr std::uint32_t kErrorToneMs = 50;

// Now, with a stored tick above it (the tick wrapped) set to now first.
std::uint32_t now_after_wrap(std::uint32_t& stored) {
    const std::uint32_t now = GetTickCount();
    if (stored > now) {
        stored = now;
    }
    return now;
}

} // namespace

AlarmConditions AlarmConditionsOf(const ChanelWindow& w, int remoteFlag) {
    AlarmConditions c;
    c.Detection = DetectionAlarm(w.Detection);
    c.Input = w.InputAlarm();
    c.Remote = w.RemoteAlarm(remoteFlag);
    return c;
}

void BurnChangedPoints(const ChanelWindow& w, std::span<const std::uint8_t> header,
                       std::span<std::uint8_t> pixels) {
    // The point first, then its neighbours in the order the marks have always been drawn.
    static constexpr std::array<std::array<int, 2>, 9> kMarks{
        {{0, 0}, {-1, -1}, {-1, 1}, {1, -1}, {1, 1}, {-1, 0}, {0, 1}, {1, 0}, {0, -1}}};
    const FrameFormat format = ParseFrameFormat(header);
    const std::int32_t count = std::clamp(w.Detection.ChangedCount, 0, kMaxDetectionPoints);
    for (std::int32_t i = 0; i < count; ++i) {
        const int x = w.Detection.ChangedX[static_cast<std::size_t>(i)];
        const int y = w.Detection.ChangedY[static_cast<std::size_t>(i)];
        for (const auto& d : kMarks) {
            DrawFramePoint(x + d[0], y + d[1], format, pixels);
        }
    }
}

void AlarmActions::Mon_Control(ChanelWindow& w) {
    if (w.MonWait != 0) {
        w.MonWait = 0;
    }
    if (AlarmConditionsOf(w, 0).Local()) {
        w.MonRequest = 1;
    }
}

void AlarmActions::Zvuk(ChanelWindow& w, int remoteFlag) {
    if (AlarmConditionsOf(w, remoteFlag).Any()) {
        w.SoundRequest = 1;
    }
}

std::int32_t AlarmActions::write(ChanelWindow& w, std::span<const std::uint8_t> header,
                                 std::span<const std::uint8_t> pixels, bool alarm,
                                 const RecordZone& zone) {
    const FrameFormat format = ParseFrameFormat(header);
    archive::ArchFrame frame;
    frame.pixels = pixels;
    frame.width = format.Width;
    frame.height = format.Height;
    frame.bits_per_pixel = format.BitCount;
    frame.marker = format.SubformatMarker;
    frame.jpeg = w.WriteJpeg != 0;
    frame.quality = w.WriteQuality;
    frame.camera = w.CamNumber;
    frame.station = w.RemNumber;
    frame.alarm = alarm;
    frame.manual = !alarm;
    frame.zone_x = zone.X;
    frame.zone_y = zone.Y;
    frame.zone_size = zone.Size;
    try {
        archive::ArchiveContext ctx = archive_.Context();
        return Writer(ctx, frame);
    } catch (const std::exception&) {
        // Any failure of the writer (files, encoding, memory) ends here: the frame is lost,
        // the station goes on.
        board_.Tone(kErrorToneHz, kErrorToneMs);
        return archive::kNotWritten;
    }
}

void AlarmActions::Save_To_Disk(ChanelWindow& w, std::span<const std::uint8_t> header,
                                std::span<std::uint8_t> pixels, int remoteFlag) {
    w.WriteTick = GetTickCount();
    if (w.LastWriteTick > w.WriteTick) {
        w.LastWriteTick = w.WriteTick;
    }
    if (w.WriteTick - w.LastWriteTick < static_cast<std::uint32_t>(w.WriteInterval)) {
        return;
    }
    const AlarmConditions c = AlarmConditionsOf(w, remoteFlag);
    DetectionFields& d = w.Detection;
    std::int32_t result = 0;
    if (w.WriteOnAlarm != 0 && c.Any()) {
        RecordZone zone;
        if (c.Detection) {
            if (w.ShowPoints != 0) {
                BurnChangedPoints(w, header, pixels);
            }
            zone = {d.ObjectX, d.ObjectY, d.ObjectSize};
        } else {
            d.ObjectX = 500;
            d.ObjectY = 500;
            w.ZoneSize = 1000;
            zone = {d.ObjectX, d.ObjectY, w.ZoneSize};
        }
        result = write(w, header, pixels, true, zone);
    } else if (w.Painter() != nullptr && w.Painter()->WriteButtonDown()) {
        result = write(w, header, pixels, false, {d.ObjectX, d.ObjectY, d.ObjectSize});
    } else {
        return;
    }
    if (result == archive::kWritten) {
        w.LastWriteTick = w.WriteTick;
        return;
    }
    // Not written: the notice, and the next frame tries again.
    notices_.ShowNotice(lang_[kLineAttention], lang_[kLineArchiveWriteError]);
}

void AlarmActions::SetAlarmOutputActive(ChanelWindow& w, int remoteFlag) {
    if (w.UseOutput == 0) {
        return;
    }
    const std::uint32_t now = now_after_wrap(w.OutputTick);
    if (AlarmConditionsOf(w, remoteFlag).Any()) {
        if (w.OutputActive == 0) {
            w.OutputTick = now;
            w.OutputActive = 1;
        }
        return;
    }
    if (w.OutputActive != 0 &&
        now - w.OutputTick > static_cast<std::uint32_t>(w.AlarmOutputTime) * 1000u) {
        w.OutputActive = 0;
    }
}

void AlarmActions::SetWindowState(ChanelWindow& w, int remoteFlag) {
    if (w.UseMinimize == 0) {
        return;
    }
    const std::uint32_t now = now_after_wrap(w.AlarmTick);
    ChanelPainter* painter = w.Painter();
    if (AlarmConditionsOf(w, remoteFlag).Any()) {
        w.AlarmTick = now;
        if (painter != nullptr && painter->Minimized()) {
            painter->Restore();
        }
        return;
    }
    if (painter != nullptr && !painter->Minimized() &&
        now - w.AlarmTick > static_cast<std::uint32_t>(w.MinimizeTime) * 1000u) {
        painter->Minimize();
    }
}

void AlarmActions::SetRemAlarm(ChanelWindow& w, int camera, int chip) {
    if (handoff_ != nullptr && ValidCamera(camera) && ValidChip(chip) &&
        AlarmConditionsOf(w, 0).Local()) {
        handoff_->Chip(chip).RemAlarmFlags[static_cast<std::size_t>(camera)] = 1;
    }
}

} // namespace station
