#include "platform/sync.h"
#include "windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

// Closes the handles it was given when the test ends.
struct Handles {
    std::vector<HANDLE> list;
    HANDLE add(HANDLE h) {
        list.push_back(h);
        return h;
    }
    ~Handles() {
        for (HANDLE h : list) {
            CloseHandle(h);
        }
    }
};

TEST(Events, ResetModeDecidesWhatASatisfiedWaitLeaves) {
    struct Case {
        BOOL manual;
        DWORD second_wait;
    };
    for (const Case c : {Case{FALSE, WAIT_TIMEOUT}, Case{TRUE, WAIT_OBJECT_0}}) {
        SCOPED_TRACE(c.manual ? "manual-reset" : "auto-reset");
        Handles hs;
        const HANDLE e = hs.add(CreateEventA(nullptr, c.manual, TRUE, nullptr));
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(e, 0), c.second_wait);
        ASSERT_TRUE(SetEvent(e));
        ASSERT_TRUE(ResetEvent(e));
        EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_TIMEOUT);
    }
}

TEST(Events, WaitAnyTakesTheLowestSignalledIndexOnly) {
    Handles hs;
    HANDLE e[4];
    for (int i = 0; i < 4; ++i) {
        e[i] = hs.add(CreateEventA(nullptr, i == 2, FALSE, nullptr)); // index 2 manual-reset
    }
    SetEvent(e[3]);
    SetEvent(e[1]);
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(4, e, FALSE, 0), WAIT_OBJECT_0 + 1);
    // Only index 1 was taken: 3 is still set, and 2 (manual) wins over it every time.
    EXPECT_EQ(WaitForMultipleObjects(4, e, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(4, e, FALSE, 0), WAIT_OBJECT_0 + 2);
    ResetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(4, e, FALSE, 0), WAIT_OBJECT_0 + 3);
    EXPECT_EQ(WaitForMultipleObjects(4, e, FALSE, 0), WAIT_TIMEOUT);
}

TEST(Events, WaitAllTakesNothingUntilEveryObjectIsSignalled) {
    Handles hs;
    HANDLE e[3];
    for (HANDLE& h : e) {
        h = hs.add(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    }
    SetEvent(e[0]);
    SetEvent(e[2]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(e[0], 0), WAIT_OBJECT_0) << "a failed wait-all took an object";
    SetEvent(e[0]);
    SetEvent(e[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, e, TRUE, 0), WAIT_OBJECT_0);
    for (HANDLE h : e) {
        EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
    }
}

TEST(Events, BadArgumentsFailWithTheirError) {
    Handles hs;
    const HANDLE e = hs.add(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    const HANDLE m = hs.add(CreateMutexA(nullptr, FALSE, nullptr));
    const HANDLE bogus = reinterpret_cast<HANDLE>(0x7FF0);
    std::vector<HANDLE> many(MAXIMUM_WAIT_OBJECTS + 1, e);
    const HANDLE twice[2] = {e, e};
    const HANDLE with_bogus[2] = {e, bogus};
    struct Case {
        const char* what;
        DWORD count;
        const HANDLE* handles;
        BOOL all;
        DWORD error;
    };
    for (const Case& c :
         {Case{"no objects", 0, &e, FALSE, ERROR_INVALID_PARAMETER},
          Case{"too many", DWORD(many.size()), many.data(), FALSE, ERROR_INVALID_PARAMETER},
          Case{"null list", 1, nullptr, FALSE, ERROR_INVALID_PARAMETER},
          Case{"one object twice in wait-all", 2, twice, TRUE, ERROR_INVALID_PARAMETER},
          Case{"unknown handle", 2, with_bogus, FALSE, ERROR_INVALID_HANDLE}}) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.all, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(m)) << "a mutex is no event";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ResetEvent(bogus));
    EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
    const HANDLE closed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(closed));
    EXPECT_FALSE(CloseHandle(closed));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(closed, 0), WAIT_FAILED);
}

struct WaitArgs {
    HANDLE event;
    DWORD result = 0;
};

DWORD WINAPI wait_then_report(LPVOID p) {
    auto* args = static_cast<WaitArgs*>(p);
    args->result = WaitForSingleObject(args->event, INFINITE);
    return 42;
}

TEST(Events, AnotherThreadsSetWakesAnEndlessWait) {
    Handles hs;
    WaitArgs args{hs.add(CreateEventA(nullptr, FALSE, FALSE, nullptr))};
    const HANDLE t = hs.add(CreateThread(nullptr, 0, &wait_then_report, &args, 0, nullptr));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 20), WAIT_TIMEOUT) << "the waiter ended before the set";
    EXPECT_TRUE(platform::signal_event(args.event)); // as platform code sets it
    EXPECT_EQ(WaitForSingleObject(t, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(args.result, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(args.event, 0), WAIT_TIMEOUT) << "auto-reset was not taken";
}

struct Crowd {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woken{0};
    ~Crowd() { CloseHandle(event); }
};

DWORD WINAPI wait_in_crowd(LPVOID p) {
    auto* c = static_cast<Crowd*>(p);
    WaitForSingleObject(c->event, INFINITE);
    ++c->woken;
    return 0;
}

TEST(Events, EachSetOfAnAutoResetEventReleasesOneWaiter) {
    Crowd crowd;
    Handles hs;
    HANDLE threads[4];
    for (HANDLE& t : threads) {
        t = hs.add(CreateThread(nullptr, 0, &wait_in_crowd, &crowd, 0, nullptr));
    }
    for (int round = 1; round <= 4; ++round) {
        SetEvent(crowd.event);
        while (crowd.woken < round) {
            Sleep(1);
        }
        EXPECT_EQ(WaitForMultipleObjects(4, threads, TRUE, 10),
                  DWORD(round == 4 ? WAIT_OBJECT_0 : WAIT_TIMEOUT));
        EXPECT_EQ(crowd.woken, round) << "one set released more than one waiter";
    }
}

struct MutexArgs {
    HANDLE mutex;
    DWORD first_wait = 0;
    BOOL foreign_release = TRUE;
    DWORD release_error = 0;
    DWORD later_wait = 0;
    HANDLE tried = nullptr;    // set by the contender after its first attempts
    HANDLE released = nullptr; // set by the main thread once it let go
};

DWORD WINAPI contend_for_mutex(LPVOID p) {
    auto* a = static_cast<MutexArgs*>(p);
    a->first_wait = WaitForSingleObject(a->mutex, 0);
    a->foreign_release = ReleaseMutex(a->mutex);
    a->release_error = GetLastError();
    SetEvent(a->tried);
    WaitForSingleObject(a->released, INFINITE);
    a->later_wait = WaitForSingleObject(a->mutex, 0);
    ReleaseMutex(a->mutex);
    return 0;
}

TEST(Mutexes, OwnedRecursivelyByOneThreadAndReleasedOnlyByIt) {
    Handles hs;
    MutexArgs a{hs.add(CreateMutexA(nullptr, TRUE, nullptr))};
    a.tried = hs.add(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    a.released = hs.add(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(WaitForSingleObject(a.mutex, 0), WAIT_OBJECT_0); // recursion: owned twice now
    const HANDLE t = hs.add(CreateThread(nullptr, 0, &contend_for_mutex, &a, 0, nullptr));
    WaitForSingleObject(a.tried, INFINITE);
    EXPECT_TRUE(ReleaseMutex(a.mutex));
    EXPECT_TRUE(ReleaseMutex(a.mutex));
    EXPECT_FALSE(ReleaseMutex(a.mutex));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    SetEvent(a.released);
    WaitForSingleObject(t, INFINITE);
    EXPECT_EQ(a.first_wait, WAIT_TIMEOUT);
    EXPECT_FALSE(a.foreign_release);
    EXPECT_EQ(a.release_error, ERROR_NOT_OWNER);
    EXPECT_EQ(a.later_wait, WAIT_OBJECT_0);
}

} // namespace
