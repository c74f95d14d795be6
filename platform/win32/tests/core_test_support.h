// Small helpers of the core platform tests: a child process (the temporary folders are the
// shared test support's).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace core_test {

// A child process with a pipe to its standard input and one from its standard output.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& extra_env);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // One line of its output, without the newline; empty at end of output.
    std::string read_line();
    // Closes its standard input (the helper then ends by itself) and waits for it.
    int finish();
    // Ends it with SIGKILL, as a crash would, and waits for it.
    void kill();

private:
    int wait();
    int pid_ = -1;
    int in_ = -1;  // our end of its standard input
    int out_ = -1; // our end of its standard output
    std::string buffered_;
};

// Runs a program to its end and returns its exit status.
int run(const std::string& program, const std::vector<std::string>& args,
        const std::vector<std::string>& extra_env);

} // namespace core_test
