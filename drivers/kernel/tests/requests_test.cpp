// Read and write requests through the device's request queue.
#include "driver_fixture.h"

#include "win32/handleapi.h"

#include <atomic>
#include <cstring>
#include <thread>

namespace tarvo_test {
namespace {

// A read or write of 0 bytes completes at once; longer ones go through the queue and complete
// with 0 bytes, leaving the caller's buffer as it was.
TEST_F(DriverTest, ReadsAndWritesCompleteWithNoBytes) {
    make_machine(BoardsOf({1}));
    ASSERT_TRUE(start());
    HANDLE h = open(0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::uint8_t data[64];
    std::memset(data, 0xA5, sizeof data);
    for (DWORD size : {0u, 1u, 64u}) {
        DWORD done = 99;
        EXPECT_TRUE(ReadFile(h, data, size, &done, nullptr)) << size;
        EXPECT_EQ(done, 0u);
        done = 99;
        EXPECT_TRUE(WriteFile(h, data, size, &done, nullptr)) << size;
        EXPECT_EQ(done, 0u);
    }
    EXPECT_EQ(std::count(data, data + sizeof data, 0xA5), 64);
    // Shutdown notification completes at once; the device goes on serving.
    platform::nt::system_shutdown();
    DWORD done = 1;
    EXPECT_TRUE(ReadFile(h, data, 8, &done, nullptr));
    close(h);
    stop_and_check_clean();
}

// Requests from several threads and opens at once: every one completes exactly once, and the
// queue ends idle (the driver unloads cleanly).
TEST_F(DriverTest, ConcurrentReadsAllComplete) {
    make_machine(BoardsOf({1}));
    ASSERT_TRUE(start());
    std::atomic<int> completed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            HANDLE h = CreateFileA("\\\\.\\TarvoDevice0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(h, INVALID_HANDLE_VALUE);
            std::uint8_t data[16];
            for (int i = 0; i < 200; ++i) {
                DWORD done = 0;
                if (ReadFile(h, data, sizeof data, &done, nullptr) && done == 0) {
                    ++completed;
                }
            }
            CloseHandle(h);
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(completed.load(), 800);
    stop_and_check_clean();
}

} // namespace
} // namespace tarvo_test
