#include "core_test_support.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <utility>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace core_test {

Child::Child(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& extra_env) {
    int to_child[2];
    int from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0 || ::pipe2(from_child, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        env.emplace_back(*e);
    }
    env.insert(env.end(), extra_env.begin(), extra_env.end());
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argv_s{program};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(to_child[0]);
    ::close(from_child[1]);
    in_ = to_child[1];
    out_ = from_child[0];
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("posix_spawn failed");
    }
}

Child::~Child() {
    if (pid_ > 0) {
        kill();
    }
    if (in_ >= 0) {
        ::close(in_);
    }
    if (out_ >= 0) {
        ::close(out_);
    }
}

std::string Child::read_line() {
    for (;;) {
        const auto nl = buffered_.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffered_.substr(0, nl);
            buffered_.erase(0, nl + 1);
            return line;
        }
        char buf[256];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::exchange(buffered_, std::string());
        }
        buffered_.append(buf, std::size_t(n));
    }
}

int Child::wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Child::finish() {
    ::close(in_);
    in_ = -1;
    return wait();
}

void Child::kill() {
    ::kill(pid_, SIGKILL);
    wait();
}

int run(const std::string& program, const std::vector<std::string>& args,
        const std::vector<std::string>& extra_env) {
    Child child(program, args, extra_env);
    return child.finish();
}

} // namespace core_test
