#include "windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <unistd.h>

namespace {

struct Gate {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<DWORD> seen_id{0};
    bool exit_early = false;
    std::atomic<bool> done{false}; // the thread touches nothing of the gate after this
    ~Gate() { CloseHandle(go); }
};

void leave_through_exit_thread() {
    ExitThread(7); // from a nested call: the stack unwinds to the thread's start
}

DWORD WINAPI gated(LPVOID p) {
    auto* g = static_cast<Gate*>(p);
    g->seen_id = GetCurrentThreadId();
    WaitForSingleObject(g->go, INFINITE);
    if (g->exit_early) {
        g->done = true;
        leave_through_exit_thread();
    }
    g->done = true;
    return 1234;
}

TEST(Threads, HandleSignalsAtTheEndAndCarriesTheExitCode) {
    for (const bool early : {false, true}) {
        SCOPED_TRACE(early ? "ExitThread" : "return");
        Gate g;
        g.exit_early = early;
        DWORD id = 0;
        const HANDLE t = CreateThread(nullptr, 0, &gated, &g, 0, &id);
        ASSERT_NE(t, nullptr);
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeThread(t, &code));
        EXPECT_EQ(code, STILL_ACTIVE);
        EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_TIMEOUT);
        SetEvent(g.go);
        EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(t, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
        ASSERT_TRUE(GetExitCodeThread(t, &code));
        EXPECT_EQ(code, early ? 7u : 1234u);
        EXPECT_EQ(id, g.seen_id.load()) << "CreateThread's id is the thread's own";
        EXPECT_NE(id, GetCurrentThreadId());
        EXPECT_TRUE(CloseHandle(t));
    }
}

TEST(Threads, ClosingTheHandleLeavesTheThreadRunning) {
    Gate g;
    const HANDLE t = CreateThread(nullptr, 0, &gated, &g, 0, nullptr);
    ASSERT_TRUE(CloseHandle(t));
    SetEvent(g.go);
    while (!g.done) {
        Sleep(1);
    }
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(t, &code));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(CreateThread(nullptr, 0, &gated, &g, CREATE_SUSPENDED, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST(Process, IdsAndPseudoHandle) {
    EXPECT_EQ(GetCurrentProcessId(), DWORD(::getpid()));
    EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(LONG_PTR(-1)));
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

TEST(SystemVersion, AnswersNtFivePointOne) {
    const DWORD v = GetVersion();
    EXPECT_EQ(LOBYTE(LOWORD(v)), 5);
    EXPECT_EQ(HIBYTE(LOWORD(v)), 1);
    EXPECT_EQ(v & 0x80000000u, 0u) << "the NT line has the top bit clear";

    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 5u);
    EXPECT_EQ(ex.dwMinorVersion, 1u);
    EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);

    OSVERSIONINFOA plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    ASSERT_TRUE(GetVersionExA(&plain));
    EXPECT_EQ(plain.dwBuildNumber, DWORD(HIWORD(v)));
    plain.dwOSVersionInfoSize = sizeof plain - 4;
    EXPECT_FALSE(GetVersionExA(&plain));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

} // namespace
