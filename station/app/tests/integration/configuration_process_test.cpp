// The real program `tolm` started as a process on the virtual board in a program folder that
// holds configuration 1 (written by the run command's tool): its screenshot shows the four
// camera windows with their stored cameras, read back from the pictures, and their captions.
// (Saving and loading through the configurations dialog is driven in process, in
// configuration_board_test.cpp: a process offers no way to press the dialog's cells.)
#include "station_process.h"
#include "station_rig.h"

#include "base/codepage.h"
#include "base/language.h"
#include "configuration/conf_main.h"

#include "file_text.h"
#include "temp_dir.h"

#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <utility>

namespace station {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tolm_test::ReadText;

// A path quoted for the shell.
std::string quoted(const fs::path& p) {
    std::string out = "'";
    for (const char c : p.string()) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

TEST(ConfigurationProcess, ProgramShowsTheStoredWindowsWithTheirCamerasAndCaptions) {
    const tolm_test::TempDir temp("tolm-confrun");
    const fs::path bin = TOLM_BIN_DIR;
    const fs::path root = temp / "sys";
    const fs::path program = temp / "program";
    fs::create_directories(root);
    test::LayOutProgramFolder(program, TOLM_PROGRAM, bin);
    // The driver stack by the installer tool, configuration 1 by the run command's tool.
    const std::string install = quoted(bin / "setup-install") + " --root " + quoted(root) +
                                " --source " + quoted(bin) + " > " + quoted(temp / "install.log") +
                                " 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << ReadText(temp / "install.log");
    const std::string store =
        quoted(bin / "tolm-store-configuration") + " " + quoted(program) + " > /dev/null";
    ASSERT_EQ(std::system(store.c_str()), 0);

    const fs::path shot = temp / "station.png";
    const fs::path list = temp / "windows.txt";
    const fs::path err = temp / "err.txt";
    {
        // The pictures are taken 6 s after start (the sanitizers slow the start-up down).
        test::StationProcess station(program, root, err, 7000,
                                     {"TOLM_SCREENSHOT=" + shot.string(),
                                      "TOLM_SCREENSHOT_WINDOWS=" + list.string(),
                                      "TOLM_SCREENSHOT_MS=6000"});
        ASSERT_TRUE(station.started());
        ASSERT_EQ(station.wait(60s), 0) << ReadText(err);
    }
    const QImage picture(QString::fromStdString(shot.string()));
    ASSERT_FALSE(picture.isNull()) << ReadText(err);

    LanguageList lang;
    lang.SetText(ReadText(program / kLanguageFileName));
    std::set<std::pair<int, std::string>> want;
    for (const int camera : rig::kCameraOfChip) {
        want.emplace(camera, Cp1251ToUtf8(DefaultCameraName(lang, camera)));
    }
    std::set<std::pair<int, std::string>> shown;
    std::istringstream lines(ReadText(list));
    for (std::string line; std::getline(lines, line);) {
        int x = 0;
        int y = 0;
        int w = 0;
        int h = 0;
        std::istringstream place(line.substr(0, line.find('\t')));
        place >> x >> y >> w >> h;
        const std::string caption =
            line.find('\t') == std::string::npos ? "" : line.substr(line.find('\t') + 1);
        shown.emplace(rig::CameraInPicture(picture.copy(x, y, w, h)), caption);
    }
    EXPECT_EQ(shown, want) << ReadText(list) << ReadText(err);
}

} // namespace
} // namespace station
