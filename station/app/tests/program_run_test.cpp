// The real program `tolm`, copied into temporary program folders with a temporary system
// root, run offscreen with its message boxes written to stderr and closed after a while.
#include "base/language.h"
#include "lifecycle/startup.h"

#include "platform/cp1251.h"
#include "temp_dir.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace station {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every file of a folder with its content.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file()) {
            files[fs::relative(e.path(), dir).string()] = read_file(e.path());
        }
    }
    return files;
}

class Station {
public:
    Station(const fs::path& program_dir, const fs::path& root, const fs::path& err, int run_ms) {
        std::vector<std::string> env_strings;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string s = *e;
            if (s.rfind("TOLM_", 0) != 0 && s.rfind("QT_QPA_PLATFORM=", 0) != 0) {
                env_strings.push_back(s);
            }
        }
        env_strings.push_back("QT_QPA_PLATFORM=offscreen");
        env_strings.push_back("TOLM_SYSROOT=" + root.string());
        env_strings.push_back("TOLM_MESSAGES=stderr");
        env_strings.push_back("TOLM_RUN_MS=" + std::to_string(run_ms));
        std::vector<char*> envp;
        for (std::string& s : env_strings) {
            envp.push_back(s.data());
        }
        envp.push_back(nullptr);
        std::string program = (program_dir / "tolm").string();
        char* argv[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid_ = -1;
        }
    }
    ~Station() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    bool running() {
        if (pid_ <= 0) {
            return false;
        }
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            status_ = status;
            return false;
        }
        return true;
    }
    // The exit status, or -1 when it did not end in time (it is killed then).
    int wait(std::chrono::milliseconds limit = 30s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (running()) {
            if (std::chrono::steady_clock::now() > end) {
                kill();
                return -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        program_ = dir_ / "program";
        root_ = dir_ / "root";
        fs::create_directories(program_);
        fs::create_directories(root_);
        // The program file itself (its folder is the program folder), the libraries it uses
        // beside it, and the language file.
        const fs::path bin = TOLM_BIN_DIR;
        fs::copy_file(TOLM_PROGRAM, program_ / "tolm");
        for (const auto& e : fs::directory_iterator(bin)) {
            if (e.path().extension() == ".so" ||
                e.path().string().find(".so.") != std::string::npos) {
                fs::create_symlink(e.path(), program_ / e.path().filename());
            }
        }
        fs::copy_file(bin / "tolm.lng", program_ / "tolm.lng");
        std::ifstream lng(program_ / "tolm.lng", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(lng)),
                                std::istreambuf_iterator<char>());
        lang_.SetText(bytes);
    }
    fs::path marker() const { return program_ / kCrashMarkerName; }

    // The message boxes a run wrote to stderr, as "caption: text" in UTF-8.
    static std::vector<std::string> boxes(const fs::path& err) {
        std::vector<std::string> out;
        std::istringstream in(read_file(err));
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
            const std::string text = fs::exists(marker()) ? read_file(marker()) : std::string();
            return std::count(text.begin(), text.end(), '\n') == 1;
        })) << read_file(marker());
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
    const std::string kept = read_file(marker());
    for (int run = 0; run < 2; ++run) {
        Station s(program_, root_, err, 800);
        EXPECT_EQ(s.wait(), 0);
        EXPECT_EQ(read_file(marker()), kept);
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
    EXPECT_TRUE(read_file(err2).empty()) << read_file(err2);
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
