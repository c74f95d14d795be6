// Recording into a temporary archive, the relay hold and the window state on the manual clock.
#include "camera_fixture.h"

#include "archive/archive_reader.h"
#include "base/frame_pixels.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

namespace camera_test {
namespace {

class Recording : public CameraFixture {
protected:
    Recording() {
        window.WriteOnAlarm = 1;
        window.WriteJpeg = 0;
        window.CamNumber = 4;
    }

    // The records in the archive, oldest first.
    std::vector<archive::FrameRecord> Records() {
        archive::ArchFilters all;
        all.request.fill(true);
        all.alarm.fill(true);
        all.system.fill(true);
        std::vector<archive::FrameRecord> out;
        const archive::ArchiveContext ctx = archive.Context();
        for (std::int64_t pos = 0;; ++pos) {
            archive::Picture picture;
            archive::FrameRecord record;
            double percent = 0;
            const std::int32_t r =
                settings.CyclicWrite
                    ? archive::ArchReadCyclic(ctx, pos, all, &picture, &record, &percent)
                    : archive::ArchReadLinear(ctx, pos, all, &picture, &record, &percent);
            if (r != archive::kFound) {
                return out;
            }
            out.push_back(record);
        }
    }

    // One alarm frame `ms` after the last.
    void AlarmFrameAfter(std::uint32_t ms) {
        clock.advance(ms);
        actions.Save_To_Disk(window, header, pixels, 0);
    }
};

TEST_F(Recording, IntervalZeroRecordsEveryAlarmFrame) {
    Detect();
    window.WriteInterval = 0;
    for (int i = 0; i < 3; ++i) {
        AlarmFrameAfter(0);
    }
    const auto records = Records();
    ASSERT_EQ(records.size(), 3u);
    for (const auto& r : records) {
        EXPECT_EQ(r.alarm, 1);
        EXPECT_EQ(r.manual, 0);
        EXPECT_EQ(r.camera, 4);
        EXPECT_EQ(std::tuple(r.zone_x, r.zone_y, r.zone_size), std::tuple(400, 300, 80));
    }
    EXPECT_TRUE(notices.shown.empty());
}

TEST_F(Recording, IntervalCountsFromTheLastSuccessfulWrite) {
    Detect();
    window.WriteInterval = 1000;
    // The window was made at 100000: its first second records nothing.
    AlarmFrameAfter(999);
    EXPECT_EQ(Records().size(), 0u);
    AlarmFrameAfter(1); // 1000 ms
    EXPECT_EQ(Records().size(), 1u);
    AlarmFrameAfter(500);
    AlarmFrameAfter(499);
    EXPECT_EQ(Records().size(), 1u);
    AlarmFrameAfter(1); // 1000 ms after the write
    EXPECT_EQ(Records().size(), 2u);

    // A failing write keeps the last write's tick: the very next frame tries again.
    std::uint32_t tries = 0;
    actions.Writer = [&](archive::ArchiveContext&, const archive::ArchFrame&) {
        ++tries;
        return archive::kNotWritten;
    };
    AlarmFrameAfter(1000);
    AlarmFrameAfter(1);
    EXPECT_EQ(tries, 2u);
    EXPECT_EQ(notices.shown, (std::vector<std::string>{"L156|L160", "L156|L160"}));
    actions.Writer = archive::ArchWriteFrame;
    AlarmFrameAfter(1);
    EXPECT_EQ(Records().size(), 3u);
}

TEST_F(Recording, ManualButtonRecordsOnlyWithoutAlarmRecording) {
    painter.writeDown = true;
    window.Detection.ObjectX = 10;
    window.Detection.ObjectY = 20;
    window.Detection.ObjectSize = 30;
    AlarmFrameAfter(0); // no alarm: manual
    Detect();
    AlarmFrameAfter(0); // alarm wins
    window.WriteOnAlarm = 0;
    AlarmFrameAfter(0); // manual during the alarm
    painter.writeDown = false;
    AlarmFrameAfter(0); // nothing
    const auto records = Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(std::tuple(records[0].alarm, records[0].manual, records[0].zone_x, records[0].zone_y,
                         records[0].zone_size),
              std::tuple(0, 1, 10, 20, 30));
    EXPECT_EQ(std::tuple(records[1].alarm, records[1].manual, records[1].zone_x),
              std::tuple(1, 0, 400));
    EXPECT_EQ(std::tuple(records[2].alarm, records[2].manual, records[2].zone_x),
              std::tuple(0, 1, 400));
}

TEST_F(Recording, InputAlarmRecordsTheWholePicture) {
    window.UseInput = 1;
    window.AlarmInputNumber = 16;
    window.AlarmInputState = 1;
    board.sensor = static_cast<std::int16_t>(0x8000);
    window.Detection.ObjectX = 7;
    AlarmFrameAfter(0);
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(
        std::tuple(records[0].alarm, records[0].zone_x, records[0].zone_y, records[0].zone_size),
        std::tuple(1, 500, 500, 1000));
    // The window's centre and zone size now say the same.
    EXPECT_EQ(std::tuple(window.Detection.ObjectX, window.Detection.ObjectY, window.ZoneSize),
              std::tuple(500, 500, 1000));
}

TEST_F(Recording, ChangedPointsAreBurntIntoTheFrameClippedAtTheEdges) {
    // 1000 x 1000 grey: one pixel per mille.
    header = live_test::BitmapHeader(1000, 1000, 8);
    pixels.assign(1000 * 1000, 0x40);
    Detect();
    window.ShowPoints = 1;
    const std::vector<std::pair<int, int>> changed{{0, 0}, {500, 200}, {999, 999}};
    window.Detection.ChangedCount = static_cast<std::int32_t>(changed.size());
    for (std::size_t i = 0; i < changed.size(); ++i) {
        window.Detection.ChangedX[i] = changed[i].first;
        window.Detection.ChangedY[i] = changed[i].second;
    }
    AlarmFrameAfter(0);

    std::set<std::pair<int, int>> want;
    for (auto [x, y] : changed) {
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if (x + dx >= 0 && x + dx <= 999 && y + dy >= 0 && y + dy <= 999) {
                    want.insert({x + dx, y + dy});
                }
            }
        }
    }
    ASSERT_EQ(want.size(), 4u + 9u + 4u);
    std::set<std::pair<int, int>> marked;
    const FrameFormat f{1000, 1000, 8, 0};
    for (int y = 0; y < 1000; ++y) {
        for (int x = 0; x < 1000; ++x) {
            if (FramePixelLuma(x, y, f, pixels.data()) == 255) {
                marked.insert({x, y});
            }
        }
    }
    EXPECT_EQ(marked, want);

    // The recorded frame carries them; without ShowPoints a frame stays as it came.
    ASSERT_EQ(Records().size(), 1u);
    window.ShowPoints = 0;
    pixels.assign(1000 * 1000, 0x40);
    AlarmFrameAfter(0);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFF), 0);
}

TEST_F(Recording, WriterErrorBeepsShowsTheNoticeAndRetries) {
    Detect();
    // The program folder is a file: the writer cannot enter it.
    const std::filesystem::path blocked = program.path() / "blocked";
    std::ofstream(blocked) << "x";
    base.ProgramDir = blocked.string();
    settings.BufDirs[0] = base.ProgramDir;
    AlarmFrameAfter(0);
    EXPECT_EQ(board.tones, std::vector<std::uint32_t>{2000});
    EXPECT_EQ(notices.shown, std::vector<std::string>{"L156|L160"});
    const std::uint32_t last = window.LastWriteTick;

    // The settings are read at each write: the next frame goes to the archive.
    base.ProgramDir = program.path().string();
    settings.BufDirs[0] = base.ProgramDir;
    AlarmFrameAfter(1);
    EXPECT_EQ(Records().size(), 1u);
    EXPECT_EQ(board.tones.size(), 1u);
    EXPECT_EQ(notices.shown.size(), 1u);
    EXPECT_NE(window.LastWriteTick, last);
}

TEST_F(Recording, ChangedArchiveDirectoryTakesEffectOnTheNextFrame) {
    Detect();
    AlarmFrameAfter(0);
    const std::filesystem::path second = program.path() / "second";
    std::filesystem::create_directory(second);
    settings.BufDirs[0] = second.string();
    AlarmFrameAfter(0);
    EXPECT_FALSE(std::filesystem::is_empty(second));
}

// ---- Relay hold and window state ----

class HoldAndMinimize : public CameraFixture {
protected:
    // A local frame `ms` after the last one, with or without detection.
    void FrameAfter(std::uint32_t ms, bool alarm) {
        clock.advance(ms);
        if (alarm) {
            Detect();
        } else {
            NoDetection();
        }
        LocalFrame();
    }
};

TEST_F(HoldAndMinimize, RelayHoldTime) {
    window.UseOutput = 1;
    struct Case {
        int holdSeconds;
        std::vector<std::pair<std::uint32_t, bool>> frames; // (ms after the last, alarm)
        std::vector<int> active;
    };
    const Case cases[] = {
        {0, {{0, true}, {10, true}, {1, false}, {1, false}}, {1, 1, 0, 0}},
        // On at 0 and kept while the alarm lasts; off only once 3 s have passed since it went on.
        {3, {{0, true}, {2000, true}, {500, false}, {500, false}, {1, false}}, {1, 1, 1, 1, 0}},
        {3, {{0, true}, {4000, true}, {1, false}}, {1, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.holdSeconds);
        window.AlarmOutputTime = c.holdSeconds;
        window.OutputActive = 0;
        std::vector<int> active;
        for (auto [ms, alarm] : c.frames) {
            FrameAfter(ms, alarm);
            active.push_back(window.OutputActive);
        }
        EXPECT_EQ(active, c.active);
    }
    // Without UseOutput the output is never touched.
    window.UseOutput = 0;
    window.OutputActive = 0;
    FrameAfter(0, true);
    EXPECT_EQ(window.OutputActive, 0);
}

TEST_F(HoldAndMinimize, MinimisesAfterIdleTimeAndRestoresOnAlarm) {
    window.UseMinimize = 1;
    window.MinimizeTime = 5;
    FrameAfter(5000, false); // exactly 5 s since creation: not yet
    EXPECT_EQ(painter.minimizes, 0);
    FrameAfter(1, false);
    EXPECT_EQ(painter.minimizes, 1);
    FrameAfter(10000, false); // already minimised
    EXPECT_EQ(painter.minimizes, 1);
    FrameAfter(1, true);
    EXPECT_EQ(painter.restores, 1);
    FrameAfter(5000, false);
    EXPECT_EQ(painter.minimizes, 1) << "idle time counts from the last alarm";
    // Activating the window starts the idle time again.
    clock.advance(3000);
    window.FormActivate();
    FrameAfter(2001, false);
    EXPECT_EQ(painter.minimizes, 1);
    FrameAfter(3000, false);
    EXPECT_EQ(painter.minimizes, 2);
    // Without UseMinimize nothing changes.
    window.UseMinimize = 0;
    FrameAfter(1, true);
    EXPECT_EQ(painter.restores, 1);
}

TEST_F(HoldAndMinimize, StoredTicksAboveNowAreTakenAsNow) {
    // The tick wrapped since the ticks were stored: they count from now, not from the past.
    window.UseMinimize = 1;
    window.MinimizeTime = 5;
    window.UseOutput = 1;
    window.AlarmOutputTime = 3;
    window.OutputActive = 1;
    window.OutputTick = 0xFFFFFF00u;
    window.AlarmTick = 0xFFFFFF00u;
    window.LastWriteTick = 0xFFFFFF00u;
    window.WriteInterval = 1000;
    window.WriteOnAlarm = 1;
    int writes = 0;
    actions.Writer = [&](archive::ArchiveContext&, const archive::ArchFrame&) {
        ++writes;
        return archive::kWritten;
    };
    FrameAfter(0, false);
    EXPECT_EQ(window.OutputActive, 1);
    EXPECT_EQ(painter.minimizes, 0);
    FrameAfter(3001, false);
    EXPECT_EQ(window.OutputActive, 0);
    EXPECT_EQ(painter.minimizes, 0);
    FrameAfter(2000, false);
    EXPECT_EQ(painter.minimizes, 1);
    // Recording: an alarm right after the wrap waits the interval from now.
    window.LastWriteTick = 0xFFFFFF00u;
    FrameAfter(0, true);
    EXPECT_EQ(writes, 0);
    FrameAfter(1000, true);
    EXPECT_EQ(writes, 1);
}

} // namespace
} // namespace camera_test
