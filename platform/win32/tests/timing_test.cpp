#include "platform/clock.h"
#include "platform/local_time.h"
#include "platform/sync.h"
#include "windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <chrono>
#include <thread>

namespace clk = platform::clock;

namespace {

class ManualClock : public ::testing::Test {
protected:
    void SetUp() override { clk::use_manual(0); }
    void TearDown() override {
        platform::set_manual_wait_limit(std::chrono::seconds(1));
        clk::set_spin_advance(10000);
        clk::use_real();
    }
};

TEST_F(ManualClock, SleepAdvancesTheTickAcrossTheWrap) {
    clk::set(0xFFFFFFF0u);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    Sleep(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(timeGetTime(), 0x10u);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 0x10u) << "Sleep(0) only yields";
}

struct TimedWait {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<DWORD> result{0xDEADu};
    std::thread waiter;
    explicit TimedWait(DWORD timeout)
        : waiter([this, timeout] { result = WaitForSingleObject(event, timeout); }) {}
    ~TimedWait() {
        SetEvent(event);
        waiter.join();
        CloseHandle(event);
    }
    // Whether the wait is still blocked after giving it real time to end.
    bool still_waiting() {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return result == 0xDEADu;
    }
};

TEST_F(ManualClock, TimedWaitEndsOnlyWhenTheClockPassesItsDeadline) {
    clk::set(0xFFFFFFC0u); // the deadline lies past the wrap
    TimedWait w(100);
    EXPECT_TRUE(w.still_waiting());
    clk::advance(99);
    EXPECT_TRUE(w.still_waiting()) << "ended before its deadline";
    clk::advance(1);
    w.waiter.join();
    EXPECT_EQ(w.result, WAIT_TIMEOUT);
    w.waiter = std::thread([] {}); // for the destructor
}

TEST_F(ManualClock, SignalEndsATimedWaitWithoutTime) {
    TimedWait w(1000);
    EXPECT_TRUE(w.still_waiting());
    SetEvent(w.event);
    w.waiter.join();
    EXPECT_EQ(w.result, WAIT_OBJECT_0);
    EXPECT_EQ(GetTickCount(), 0u);
    w.waiter = std::thread([] {});
}

TEST_F(ManualClock, IdleTimedWaitAdvancesTheClockToItsDeadline) {
    platform::set_manual_wait_limit(std::chrono::milliseconds(20));
    const HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    clk::set(1000);
    EXPECT_EQ(WaitForSingleObject(e, 500), WAIT_TIMEOUT);
    EXPECT_EQ(GetTickCount(), 1500u);
    CloseHandle(e);
}

TEST_F(ManualClock, BusyWaitOnTheTickEnds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 5) {
    }
    EXPECT_EQ(GetTickCount() - start, 5u);
}

TEST(RealClock, TimedWaitTimesOutInRealTime) {
    clk::use_real();
    const HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(e, 30), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(29));
    CloseHandle(e);
}

TEST(MultimediaTimer, PeriodsOutsideTheRangeAreRefused) {
    for (const UINT period : {1u, 5u, 1000000u}) {
        EXPECT_EQ(timeBeginPeriod(period), TIMERR_NOERROR) << period;
        EXPECT_EQ(timeEndPeriod(period), TIMERR_NOERROR) << period;
    }
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_EQ(timeEndPeriod(1000001), TIMERR_NOCANDO);
}

} // namespace

namespace {

TEST(LocalTime, FixedByATestOrTheHostsLocalTime) {
    const SYSTEMTIME fixed{2026, 2, 6, 28, 23, 59, 58, 999};
    platform::local_time::set_fixed(fixed);
    SYSTEMTIME t{};
    GetLocalTime(&t);
    EXPECT_EQ(std::memcmp(&t, &fixed, sizeof t), 0);
    platform::local_time::use_real();

    const std::time_t now = std::time(nullptr);
    std::tm host{};
    localtime_r(&now, &host);
    GetLocalTime(&t);
    EXPECT_EQ(t.wYear, host.tm_year + 1900);
    EXPECT_EQ(t.wMonth, host.tm_mon + 1);
    EXPECT_EQ(t.wDayOfWeek, host.tm_wday);
    EXPECT_LT(t.wMilliseconds, 1000);
    // Within a few seconds of the host's reading (a minute boundary may lie between them).
    const int seconds = t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
    const int host_seconds = host.tm_hour * 3600 + host.tm_min * 60 + host.tm_sec;
    EXPECT_LE(std::abs(seconds - host_seconds) % (24 * 3600 - 5), 5);
}

} // namespace
