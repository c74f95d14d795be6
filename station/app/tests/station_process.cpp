#include "station_process.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace station::test {

namespace fs = std::filesystem;

void LayOutProgramFolder(const fs::path& program_dir, const fs::path& program,
                         const fs::path& bin_dir) {
    fs::create_directories(program_dir);
    fs::copy_file(program, program_dir / "tolm");
    for (const auto& e : fs::directory_iterator(bin_dir)) {
        if (e.path().extension() == ".so" || e.path().string().find(".so.") != std::string::npos) {
            fs::create_symlink(e.path(), program_dir / e.path().filename());
        }
    }
    fs::copy_file(bin_dir / "tolm.lng", program_dir / "tolm.lng");
}

StationProcess::StationProcess(const fs::path& program_dir, const fs::path& root,
                               const fs::path& err, int run_ms,
                               const std::vector<std::string>& env) {
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
    env_strings.insert(env_strings.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& s : env_strings) {
        envp.push_back(s.data());
    }
    envp.push_back(nullptr);
    std::string program = (program_dir / "tolm").string();
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
    }
}

StationProcess::~StationProcess() {
    kill();
}

bool StationProcess::running() {
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

int StationProcess::wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (running()) {
        if (std::chrono::steady_clock::now() > end) {
            kill();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

void StationProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

} // namespace station::test
