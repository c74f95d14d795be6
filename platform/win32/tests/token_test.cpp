#include "platform/token_state.h"
#include "win32/errors.h"
#include "win32/handleapi.h"
#include "win32/restart.h"
#include "win32/threads.h"
#include "win32/token.h"

#include <gtest/gtest.h>

namespace {

class TokenTest : public ::testing::Test {
protected:
    TokenTest() { platform::token::reset(); }
    ~TokenTest() override { platform::token::reset(); }

    // Enables or disables one privilege by name; answers the call's result and last error.
    static std::pair<BOOL, DWORD> adjust(HANDLE token, const char* name, bool enable) {
        TOKEN_PRIVILEGES tp{};
        tp.PrivilegeCount = 1;
        EXPECT_TRUE(LookupPrivilegeValueA(nullptr, name, &tp.Privileges[0].Luid));
        tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
        SetLastError(12345);
        const BOOL ok = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
        return {ok, GetLastError()};
    }
};

TEST_F(TokenTest, EnablingAHeldPrivilegeAllowsRestartWhichIsOnlyRecorded) {
    HANDLE token = nullptr;
    ASSERT_TRUE(
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    // Without the privilege a restart is refused, a log-off is not.
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_TRUE(platform::token::session_end_requests().empty());

    EXPECT_EQ(adjust(token, SE_SHUTDOWN_NAME, true),
              std::make_pair(TRUE, static_cast<DWORD>(ERROR_SUCCESS)));
    EXPECT_TRUE(platform::token::privilege_enabled(SE_SHUTDOWN_NAME));
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 7));
    EXPECT_TRUE(ExitWindowsEx(EWX_LOGOFF, 0));
    const auto requests = platform::token::session_end_requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].flags, EWX_REBOOT | EWX_FORCE);
    EXPECT_EQ(requests[0].reason, 7u);

    // Disabling all, with the previous state asked for.
    alignas(TOKEN_PRIVILEGES) BYTE buffer[64];
    auto* previous = reinterpret_cast<PTOKEN_PRIVILEGES>(buffer);
    DWORD length = 0;
    EXPECT_FALSE(AdjustTokenPrivileges(token, TRUE, nullptr, 4, previous, &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, 16u);
    ASSERT_TRUE(AdjustTokenPrivileges(token, TRUE, nullptr, sizeof buffer, previous, &length));
    ASSERT_EQ(previous->PrivilegeCount, 1u);
    EXPECT_EQ(previous->Privileges[0].Luid.LowPart, 19u);
    EXPECT_EQ(previous->Privileges[0].Attributes, SE_PRIVILEGE_ENABLED);
    EXPECT_FALSE(platform::token::privilege_enabled(SE_SHUTDOWN_NAME));
    EXPECT_TRUE(CloseHandle(token));
}

TEST_F(TokenTest, PrivilegeNotHeldIsReportedAsNotAllAssigned) {
    platform::token::set_privilege_held(SE_SHUTDOWN_NAME, false);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token));
    EXPECT_EQ(adjust(token, SE_SHUTDOWN_NAME, true),
              std::make_pair(TRUE, static_cast<DWORD>(ERROR_NOT_ALL_ASSIGNED)));
    EXPECT_FALSE(platform::token::privilege_enabled(SE_SHUTDOWN_NAME));
    EXPECT_FALSE(ExitWindowsEx(EWX_SHUTDOWN, 0));
    CloseHandle(token);
}

TEST_F(TokenTest, BadArgumentsFail) {
    HANDLE token = nullptr;
    LUID luid{};
    struct Case {
        BOOL result;
        DWORD error;
    };
    SetLastError(0);
    const Case cases[] = {
        {OpenProcessToken(reinterpret_cast<HANDLE>(0x1234), TOKEN_QUERY, &token), GetLastError()},
        {LookupPrivilegeValueA(nullptr, "SeNoSuchPrivilege", &luid), GetLastError()},
        {LookupPrivilegeValueA("otherhost", SE_SHUTDOWN_NAME, &luid), GetLastError()},
    };
    EXPECT_EQ(cases[0].result, FALSE);
    EXPECT_EQ(cases[0].error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(cases[1].result, FALSE);
    EXPECT_EQ(cases[1].error, static_cast<DWORD>(ERROR_NO_SUCH_PRIVILEGE));
    EXPECT_EQ(cases[2].result, FALSE);
    EXPECT_EQ(cases[2].error, static_cast<DWORD>(ERROR_INVALID_NAME));

    // A token opened for query only cannot be adjusted.
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(adjust(token, SE_SHUTDOWN_NAME, true).first, FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(token);
}

} // namespace
