// The real program `tolm`, copied into temporary program folders with a temporary system
// root, run offscreen with its message boxes written to stderr and closed after a while.
#include "base/language.h"
#include "lifecycle/startup.h"

#include "platform/cp1251.h"
#include "file_text.h"
#include "station_process.h"
#include "temp_dir.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <thread>

namespace station {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using tolm_test::ReadText;

// Every file of a folder with its content.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file()) {
            files[fs::relative(e.path(), dir).string()] = ReadText(e.path());
        }
    }
    return files;
}

using Station = test::StationProcess;

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = dir_ / "program";
        root_ = dir_ / "root";
        fs::create_directories(root_);
        test::LayOutProgramFolder(program_, TOLM_PROGRAM, TOLM_BIN_DIR);
        lang_.SetText(ReadText(program_ / "tolm.lng"));
    }
    fs::path marker() const { return program_ / kCrashMarkerName; }

    // The message boxes a run wrote to stderr, as "caption: text" in UTF-8.
    static std::vector<std::string> boxes(const fs::path& err) {
        std::vector<std::string> out;
        std::istringstream in(ReadText(err));
        const std::string tag = "[message box] ";
        for (std::string line; std::getline(in, line);) {
            if (line.rfind(tag, 0) == 0) {
                const std::size_t answered = line.rfind(" (answered ");
                out.push_back(line.substr(tag.size(), answered - tag.size()));
            }
        }
        return out;
    }
    std::string box(const std::string& caption, int line) const {
        return platform::cp1251::to_utf8(caption) + ": " + platform::cp1251::to_utf8(lang_[line]);
    }
    std::string no_driver_box() const { return box(lang_[0] + " 26.15", kLineNoCaptureDriver); }

    // Waits until `done` holds or the station ended.
    template <class F>
    static bool wait_for(Station& s, F done, std::chrono::milliseconds limit = 20s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (!s.running() || std::chrono::steady_clock::now() > end) {
                return done();
            }
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    tolm_test::TempDir temp_{"tolm-run"};
    fs::path dir_ = temp_.path();
    fs::path program_;
    fs::path root_;
    LanguageList lang_;
};

TEST_F(ProgramRun, CrashMarker) {
    const fs::path err = dir_ / "err.txt";
    // 1. A start without the marker writes it; a normal close deletes it.
    {
        Station s(program_, root_, err, 1500);
        ASSERT_TRUE(s.started());
        // The marker is created, then its line written: wait for the line.
        EXPECT_TRUE(wait_for(s, [&] {
            const std::string text = fs::exists(marker()) ? ReadText(marker()) : std::string();
            return std::count(text.begin(), text.end(), '\n') == 1;
        })) << ReadText(marker());
        EXPECT_EQ(s.wait(), 0);
        EXPECT_FALSE(fs::exists(marker()));
        EXPECT_EQ(boxes(err), (std::vector<std::string>{no_driver_box()}));
    }
    // 2. A station that dies leaves the marker behind.
    {
        Station s(program_, root_, err, 60000);
        ASSERT_TRUE(wait_for(s, [&] { return fs::exists(marker()); }));
        s.kill();
        EXPECT_TRUE(fs::exists(marker()));
    }
    // 3. The next start reports it and keeps it, also through a normal close.
    const std::string kept = ReadText(marker());
    for (int run = 0; run < 2; ++run) {
        Station s(program_, root_, err, 800);
        EXPECT_EQ(s.wait(), 0);
        EXPECT_EQ(ReadText(marker()), kept);
        EXPECT_EQ(boxes(err), (std::vector<std::string>{box(lang_[0], kLineCrashMarkerFound),
                                                        no_driver_box()}));
    }
}

TEST_F(ProgramRun, MissingLanguageFileEndsWithItsMessage) {
    fs::remove(program_ / "tolm.lng");
    const auto before = snapshot(program_);
    const fs::path err = dir_ / "err.txt";
    Station s(program_, root_, err, 60000);
    EXPECT_EQ(s.wait(10s), 0);
    EXPECT_EQ(boxes(err), (std::vector<std::string>{
                              "Error: Cannot load language support file \"TOLM.LNG\", the "
                              "program will be terminated"}));
    EXPECT_EQ(snapshot(program_), before);
}

TEST_F(ProgramRun, SecondStartLeavesNoTrace) {
    const fs::path err1 = dir_ / "err1.txt";
    const fs::path err2 = dir_ / "err2.txt";
    Station first(program_, root_, err1, 60000);
    // Running: the marker is written and the second stage has shown its message.
    ASSERT_TRUE(wait_for(first, [&] { return boxes(err1).size() == 1; }));
    const auto before = snapshot(program_);

    Station second(program_, root_, err2, 100);
    EXPECT_EQ(second.wait(10s), 0);
    EXPECT_TRUE(ReadText(err2).empty()) << ReadText(err2);
    EXPECT_EQ(snapshot(program_), before);
    EXPECT_TRUE(first.running());
    first.kill();
}

TEST_F(ProgramRun, OfTwoSimultaneousStartsOneRuns) {
    const fs::path err1 = dir_ / "err1.txt";
    const fs::path err2 = dir_ / "err2.txt";
    Station a(program_, root_, err1, 60000);
    Station b(program_, root_, err2, 60000);
    ASSERT_TRUE(a.started() && b.started());
    // The one that lost ends by itself; the other reaches its second stage.
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (a.running() && b.running() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(5ms);
    }
    Station& winner = a.running() ? a : b;
    Station& loser = a.running() ? b : a;
    ASSERT_TRUE(winner.running());
    EXPECT_EQ(loser.wait(1s), 0);
    const fs::path& winner_err = &winner == &a ? err1 : err2;
    EXPECT_TRUE(wait_for(winner, [&] { return boxes(winner_err).size() == 1; }));
    EXPECT_TRUE(winner.running());
    EXPECT_TRUE(boxes(&winner == &a ? err2 : err1).empty());
}

} // namespace
} // namespace station
