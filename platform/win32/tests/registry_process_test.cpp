// Several processes on one system root see one registry.
#include "system_root.h"

#include "platform/paths.h"

#include "win32/errors.h"
#include "win32/registry.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

pid_t spawn_peer(const tolm_test::TempSystemRoot& root, std::vector<std::string> args) {
    args.insert(args.begin(), {REGISTRY_PEER_PATH, root.path().string()});
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, REGISTRY_PEER_PATH, nullptr, nullptr, argv.data(), environ), 0);
    return pid;
}

int wait_peer(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

int run_peer(const tolm_test::TempSystemRoot& root, std::vector<std::string> args) {
    return wait_peer(spawn_peer(root, std::move(args)));
}

DWORD read_dword(const char* key, const char* name) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return 0xFFFFFFFFu;
    }
    DWORD value = 0xFFFFFFFFu;
    DWORD size = sizeof value;
    RegQueryValueExA(h, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(h);
    return value;
}

void write_dword(const char* key, const char* name, DWORD value) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
              ERROR_SUCCESS);
    RegCloseKey(h);
}

const char* const kKey = "SYSTEM\\CurrentControlSet\\Services\\Tarvo";

} // namespace

TEST(RegistryProcesses, EachSeesTheOthersWrites) {
    tolm_test::TempSystemRoot root;
    write_dword(kKey, "Start", 2);
    EXPECT_EQ(
        run_peer(root, {"expect", "system\\currentcontrolset\\services\\TARVO", "start", "2"}), 0);
    // The peer changes a value this process has already read.
    EXPECT_EQ(read_dword(kKey, "Start"), 2u);
    EXPECT_EQ(run_peer(root, {"set", kKey, "Start", "3"}), 0);
    EXPECT_EQ(read_dword(kKey, "Start"), 3u);
    // And this process's next write is seen by the next peer, with the peer's write kept.
    write_dword(kKey, "Type", 1);
    EXPECT_EQ(run_peer(root, {"expect", kKey, "Type", "1"}), 0);
    EXPECT_EQ(run_peer(root, {"expect", kKey, "Start", "3"}), 0);
    EXPECT_EQ(run_peer(root, {"expect", kKey, "Start", "4"}), 1);
}

TEST(RegistryProcesses, ConcurrentWritersLoseNothing) {
    tolm_test::TempSystemRoot root;
    const int kPeers = 4;
    const int kValues = 25;
    std::vector<pid_t> peers;
    for (int p = 0; p < kPeers; ++p) {
        peers.push_back(spawn_peer(
            root, {"fill", kKey, "p" + std::to_string(p) + "_", std::to_string(kValues)}));
    }
    // This process writes at the same time.
    for (int i = 0; i < kValues; ++i) {
        write_dword(kKey, ("self_" + std::to_string(i)).c_str(), DWORD(i));
    }
    for (const pid_t pid : peers) {
        EXPECT_EQ(wait_peer(pid), 0);
    }
    for (int p = 0; p < kPeers; ++p) {
        for (int i = 0; i < kValues; ++i) {
            const std::string name = "p" + std::to_string(p) + "_" + std::to_string(i);
            EXPECT_EQ(read_dword(kKey, name.c_str()), DWORD(i)) << name;
        }
    }
    for (int i = 0; i < kValues; ++i) {
        EXPECT_EQ(read_dword(kKey, ("self_" + std::to_string(i)).c_str()), DWORD(i));
    }
}
