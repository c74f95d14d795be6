// The shared test support: each scope leaves the process as it found it, and the kernel driver
// comes up as a service whose devices open.
#include "kernel_service.h"
#include "manual_clock.h"
#include "system_root.h"
#include "temp_dir.h"

#include "platform/clock.h"
#include "platform/paths.h"
#include "win32/devio.h"
#include "win32/files.h"
#include "win32/handleapi.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(TestSupport, FoldersRootAndClockAreUndoneAtTheEndOfTheirScope) {
    fs::path dir;
    fs::path root;
    {
        const tolm_test::TempDir a("support");
        const tolm_test::TempDir b("support");
        EXPECT_NE(a.path(), b.path());
        EXPECT_TRUE(fs::is_directory(a.path()));
        dir = a.path();

        const tolm_test::TempSystemRoot r;
        EXPECT_EQ(platform::system_root(), r.path());
        EXPECT_EQ(r / "x", (r.path() / "x").string());
        root = r.path();

        const tolm_test::ScopedManualClock clock(4000);
        EXPECT_EQ(clock.now(), 4000u);
        clock.advance(25);
        EXPECT_EQ(platform::clock::now(), 4025u);
    }
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_FALSE(fs::exists(root));
    EXPECT_NE(platform::system_root(), root);
}

TEST(TestSupport, KernelDriverRunsAsAServiceOnASteppedMachine) {
    tolm_test::KernelDriverService driver(TARVO_IMAGE_PATH, tolm_test::BoardsOf({2}));
    ASSERT_TRUE(driver.started()) << driver.start_error();
    const auto open = [] {
        return CreateFileA("\\\\.\\TarvoDevice0", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    };
    const HANDLE h = open();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(driver.stop());
    EXPECT_FALSE(driver.started());
    EXPECT_EQ(open(), INVALID_HANDLE_VALUE);
}

} // namespace
