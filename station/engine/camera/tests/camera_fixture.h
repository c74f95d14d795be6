// A live station on fakes with one camera window on a recording panel, and the alarm actions
// over a temporary program folder and archive on the manual clock.
#pragma once

#include "camera/alarm_actions.h"
#include "live_fakes.h"
#include "manual_clock.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace camera_test {

using namespace station;

struct RecordingNotices : NoticePort {
    std::vector<std::string> shown; // heading + "|" + message
    void ShowNotice(const std::string& heading, const std::string& message) override {
        shown.push_back(heading + "|" + message);
    }
};

class CameraFixture : public ::testing::Test {
protected:
    CameraFixture() {
        base.ProgramDir = program.path().string();
        settings.BufDirs[0] = base.ProgramDir;
        // Line n reads "Ln".
        std::string text;
        for (int n = 0; n < 400; ++n) {
            text += "L" + std::to_string(n) + "\n";
        }
        base.LangList.SetText(text);
        window.SetPainter(&painter);
        actions.Attach(live.Handoff);
        live.Slots.ChanelForms[1] = &window;
        live.Slots.ChanelPresent[1] = true;
        base.ReportFlags.fill(true);
        base.LocalClock = [] { return LocalDateTime{2026, 12, 10, 18, 0, 0, 0}; };
    }

    // The work log's lines of the day, without category and time.
    std::vector<std::string> LogLines() const {
        std::ifstream in(program.path() / "20261210.rpt", std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(line.size() > 12 ? line.substr(12) : line);
        }
        return lines;
    }

    // A detection alarm in the window's last frame: object at (x, y) of `size`.
    void Detect(int x = 400, int y = 300, int size = 80) {
        DetectionFields& d = window.Detection;
        d.ChangesFound = 1;
        d.ObjectFound = 1;
        d.FrameCount = 1;
        d.FindFrames = 1;
        d.ObjectX = x;
        d.ObjectY = y;
        d.ObjectSize = size;
    }
    void NoDetection() {
        window.Detection.ChangesFound = 0;
        window.Detection.ObjectFound = 0;
    }

    // The six actions of a local frame, or of a remote frame with its alarm flag, in the
    // window's order.
    void LocalFrame() {
        actions.Mon_Control(window);
        actions.Zvuk(window, 0);
        actions.Save_To_Disk(window, header, pixels, 0);
        actions.SetAlarmOutputActive(window, 0);
        actions.SetWindowState(window, 0);
        actions.SetRemAlarm(window, window.CamNumber, window.ChNumber);
    }
    void RemoteFrame(int flag) {
        actions.Zvuk(window, flag);
        actions.Save_To_Disk(window, header, pixels, flag);
        actions.SetAlarmOutputActive(window, flag);
        actions.SetWindowState(window, flag);
    }

    tolm_test::ScopedManualClock clock{100000};
    tolm_test::TempDir program{"tolm-camera"};
    BaseState base;
    SettingsState settings;
    live_test::FakeCapture capture;
    live_test::FakeBoard board;
    live_test::NoLivePorts ports;
    LiveStation live{capture, board, base, ports.Ports()};
    live_test::FakePainter painter;
    ChanelWindow window{1, live.WindowContext()};
    archive::ArchiveState archive_state;
    StationArchive archive{base, settings, archive_state};
    RecordingNotices notices;
    AlarmActions actions{board, archive, notices, base.LangList};
    std::vector<std::uint8_t> header = live_test::BitmapHeader(32, 16, 8);
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(32 * 16, 0x40);
};

} // namespace camera_test
