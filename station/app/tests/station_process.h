// The real program `tolm` run as a process: a program folder laid out for it (the program file,
// the libraries it uses beside it, the language file) and the process itself, offscreen, with
// its own system root, its message boxes written to stderr (into a file) and a run time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace station::test {

// Copies `program` into the new folder `program_dir` as "tolm", links the libraries of
// `bin_dir` beside it and copies the language file of `bin_dir`.
void LayOutProgramFolder(const std::filesystem::path& program_dir,
                         const std::filesystem::path& program,
                         const std::filesystem::path& bin_dir);

class StationProcess {
public:
    // Starts "tolm" of `program_dir` with TOLM_SYSROOT `root`, TOLM_MESSAGES=stderr, stderr into
    // `err`, TOLM_RUN_MS `run_ms` and the further `env` entries ("NAME=value"); the caller's
    // TOLM_ and QT_QPA_PLATFORM entries are dropped (the platform is offscreen).
    StationProcess(const std::filesystem::path& program_dir, const std::filesystem::path& root,
                   const std::filesystem::path& err, int run_ms,
                   const std::vector<std::string>& env = {});
    ~StationProcess();
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    bool started() const { return pid_ > 0; }
    bool running();
    // The exit status, or -1 when it did not end in time (it is killed then).
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(30));
    void kill();

private:
    pid_t pid_ = -1;
    int status_ = 0;
};

} // namespace station::test
