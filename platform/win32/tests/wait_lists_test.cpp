#include "platform/clock.h"
#include "platform/sync.h"
#include "windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

// A thread blocked in one WaitForMultipleObjects call.
struct Waiter {
    std::vector<HANDLE> handles;
    BOOL all = FALSE;
    DWORD timeout = INFINITE;
    std::atomic<DWORD> result{0xDEADu};
    std::thread thread;

    void start() {
        thread = std::thread([this] {
            result = WaitForMultipleObjects(DWORD(handles.size()), handles.data(), all, timeout);
        });
    }
};

// Starts the waiters and returns once every one of them is blocked.
void block_all(std::vector<std::unique_ptr<Waiter>>& waiters) {
    const std::uint32_t before = platform::blocked_waits();
    for (auto& w : waiters) {
        w->start();
    }
    while (platform::blocked_waits() < before + waiters.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Ends every waiter still blocked (they all wait on `release` among others) and joins them.
void finish_all(std::vector<std::unique_ptr<Waiter>>& waiters, HANDLE release) {
    SetEvent(release);
    for (auto& w : waiters) {
        w->thread.join();
    }
}

TEST(WaitLists, AStateChangeWakesOnlyTheWaitsItSatisfies) {
    const HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr); // ends the waiters left
    const HANDLE own[3] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                           CreateEventA(nullptr, FALSE, FALSE, nullptr),
                           CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    const HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE automatic = CreateEventA(nullptr, FALSE, FALSE, nullptr);

    // Waiters 0-2 each on their own event, 3-5 on the manual-reset event, 6-8 on the
    // auto-reset one, all of them also on `release`; then waiter 9 on own[0] and own[1] at once.
    std::vector<std::unique_ptr<Waiter>> waiters;
    const auto add = [&](std::vector<HANDLE> hs, BOOL all) {
        auto w = std::make_unique<Waiter>();
        w->handles = std::move(hs);
        w->all = all;
        waiters.push_back(std::move(w));
    };
    for (const HANDLE h :
         {own[0], own[1], own[2], manual, manual, manual, automatic, automatic, automatic}) {
        add({h, release}, FALSE);
    }
    block_all(waiters);
    std::vector<std::unique_ptr<Waiter>> pair;
    pair.swap(waiters);
    add({own[0], own[1]}, TRUE);
    pair.swap(waiters);
    block_all(pair);
    waiters.push_back(std::move(pair.front()));

    struct Case {
        const char* what;
        HANDLE handle;
        bool set; // else ResetEvent
        std::uint64_t woken;
    };
    for (const Case& c : {
             Case{"an event nobody else waits on", own[2], true, 1},
             Case{"the auto-reset event with three waiters", automatic, true, 1},
             Case{"a reset", manual, false, 0},
             Case{"the manual-reset event with three waiters", manual, true, 3},
             Case{"the manual-reset event again, nobody waiting", manual, true, 0},
             Case{"own[0]: waiter 0 takes it, the wait-all lacks own[1]", own[0], true, 1},
             Case{"own[1]: waiter 1 takes it, the wait-all lacks own[0]", own[1], true, 1},
             Case{"own[0] again: the wait-all takes nothing yet", own[0], true, 0},
             Case{"own[1] again: the wait-all takes both", own[1], true, 1},
         }) {
        SCOPED_TRACE(c.what);
        const std::uint64_t before = platform::wait_wakeups();
        if (c.set) {
            SetEvent(c.handle);
        } else {
            ResetEvent(c.handle);
        }
        EXPECT_EQ(platform::wait_wakeups() - before, c.woken);
    }
    EXPECT_EQ(platform::blocked_waits(), 2u) << "two waiters on the auto-reset event are left";
    finish_all(waiters, release);
    int got_automatic = 0;
    for (std::size_t i = 0; i < waiters.size(); ++i) {
        const DWORD r = waiters[i]->result;
        if (i >= 6 && i <= 8) {
            got_automatic += r == WAIT_OBJECT_0;
            EXPECT_TRUE(r == WAIT_OBJECT_0 || r == WAIT_OBJECT_0 + 1) << i;
        } else {
            EXPECT_EQ(r, WAIT_OBJECT_0) << i;
        }
    }
    EXPECT_EQ(got_automatic, 1);
    EXPECT_EQ(WaitForMultipleObjects(2, own, FALSE, 0), WAIT_TIMEOUT) << "the wait-all took both";
    EXPECT_EQ(platform::blocked_waits(), 0u);
    for (const HANDLE h : {release, own[0], own[1], own[2], manual, automatic}) {
        CloseHandle(h);
    }
}

TEST(WaitLists, AClockChangeWakesOnlyTimedWaits) {
    platform::clock::use_manual(0);
    platform::set_manual_wait_limit(std::chrono::milliseconds(0)); // only the clock ends them
    const HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::unique_ptr<Waiter>> waiters;
    for (const DWORD timeout : {INFINITE, INFINITE, DWORD(50), INFINITE, DWORD(100)}) {
        auto w = std::make_unique<Waiter>();
        w->handles = {release};
        w->timeout = timeout;
        waiters.push_back(std::move(w));
    }
    block_all(waiters);
    std::uint64_t before = platform::wait_wakeups();
    platform::clock::advance(10);
    EXPECT_EQ(platform::wait_wakeups() - before, 2u);
    platform::clock::advance(40); // the first timed wait ends
    waiters[2]->thread.join();
    EXPECT_EQ(waiters[2]->result, WAIT_TIMEOUT);
    before = platform::wait_wakeups();
    platform::clock::advance(10);
    EXPECT_EQ(platform::wait_wakeups() - before, 1u);
    waiters[2]->thread = std::thread([] {});
    finish_all(waiters, release);
    EXPECT_EQ(waiters[4]->result, WAIT_OBJECT_0);
    CloseHandle(release);
    platform::set_manual_wait_limit(std::chrono::seconds(1));
    platform::clock::use_real();
}

// Many threads take and give back mutexes and auto-reset events in random waits (wait-any and
// wait-all, with and without timeouts) while others set the events. Mutexes must be held by one
// thread at a time, an event must not be taken more often than it was set, and every wait must
// end.
struct Stress {
    static constexpr int kMutexes = 6;
    static constexpr int kEvents = 6;
    static constexpr int kWorkers = 12;
    static constexpr int kRounds = 400;

    std::array<HANDLE, kMutexes> mutexes{};
    std::array<std::atomic<int>, kMutexes> holders{};
    std::array<HANDLE, kEvents> events{};
    std::array<std::atomic<int>, kEvents> sets{};
    std::array<std::atomic<int>, kEvents> takes{};
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> faults{0};

    Stress() {
        for (HANDLE& m : mutexes) {
            m = CreateMutexA(nullptr, FALSE, nullptr);
        }
        for (HANDLE& e : events) {
            e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        }
    }
    ~Stress() {
        for (const HANDLE h : mutexes) {
            CloseHandle(h);
        }
        for (const HANDLE h : events) {
            CloseHandle(h);
        }
        CloseHandle(stop);
    }

    void hold(int m) {
        if (++holders[m] != 1) {
            ++faults;
        }
        std::this_thread::yield();
        --holders[m];
    }

    void work(unsigned seed) {
        std::minstd_rand rng(seed);
        const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
        const DWORD timeouts[] = {0, 1, 3, INFINITE};
        for (int round = 0; round < kRounds; ++round) {
            std::vector<int> chosen; // distinct mutexes
            for (int n = 1 + pick(3); int(chosen.size()) < n;) {
                const int m = pick(kMutexes);
                if (std::find(chosen.begin(), chosen.end(), m) == chosen.end()) {
                    chosen.push_back(m);
                }
            }
            std::vector<HANDLE> hs;
            for (const int m : chosen) {
                hs.push_back(mutexes[m]);
            }
            const DWORD timeout = timeouts[pick(4)];
            if (pick(2) == 0) {
                // Wait-all on mutexes only: an endless one always ends, they are all given back.
                const DWORD r = WaitForMultipleObjects(DWORD(hs.size()), hs.data(), TRUE, timeout);
                if (r == WAIT_OBJECT_0) {
                    for (const int m : chosen) {
                        hold(m);
                    }
                    for (const HANDLE h : hs) {
                        ReleaseMutex(h);
                    }
                } else if (r != WAIT_TIMEOUT) {
                    ++faults;
                }
                continue;
            }
            // Wait-any on events then mutexes, with a timeout (an event may never come).
            const int e = pick(kEvents);
            hs.insert(hs.begin(), events[e]);
            const DWORD r = WaitForMultipleObjects(DWORD(hs.size()), hs.data(), FALSE,
                                                   timeout == INFINITE ? 2 : timeout);
            if (r == WAIT_OBJECT_0) {
                ++takes[e];
            } else if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + hs.size()) {
                hold(chosen[r - WAIT_OBJECT_0 - 1]);
                ReleaseMutex(hs[r - WAIT_OBJECT_0]);
            } else if (r != WAIT_TIMEOUT) {
                ++faults;
            }
        }
    }

    void set_events(unsigned seed) {
        std::minstd_rand rng(seed);
        while (WaitForSingleObject(stop, 0) == WAIT_TIMEOUT) {
            const int e = int(rng() % kEvents);
            ++sets[e]; // counted first: a waiter may take it before SetEvent returns
            SetEvent(events[e]);
            if (rng() % 8 == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
    }
};

DWORD WINAPI stress_worker(LPVOID p) {
    auto* s = static_cast<Stress*>(p);
    static std::atomic<unsigned> seeds{1};
    s->work(seeds++);
    return 0;
}

TEST(WaitLists, ManyThreadsOnManyObjectsKeepEveryRule) {
    Stress s;
    std::vector<std::thread> setters;
    for (unsigned i = 0; i < 2; ++i) {
        setters.emplace_back([&s, i] { s.set_events(100 + i); });
    }
    std::vector<HANDLE> workers;
    for (int i = 0; i < Stress::kWorkers; ++i) {
        workers.push_back(CreateThread(nullptr, 0, &stress_worker, &s, 0, nullptr));
        ASSERT_NE(workers.back(), nullptr);
    }
    // Half the thread handles in a wait-all, the other half one by one in wait-any.
    const DWORD half = DWORD(workers.size() / 2);
    EXPECT_EQ(WaitForMultipleObjects(half, workers.data(), TRUE, INFINITE), WAIT_OBJECT_0);
    std::vector<HANDLE> rest(workers.begin() + half, workers.end());
    while (!rest.empty()) {
        const DWORD r = WaitForMultipleObjects(DWORD(rest.size()), rest.data(), FALSE, INFINITE);
        ASSERT_LT(r, WAIT_OBJECT_0 + rest.size());
        rest.erase(rest.begin() + (r - WAIT_OBJECT_0));
    }
    SetEvent(s.stop);
    for (auto& t : setters) {
        t.join();
    }
    EXPECT_EQ(s.faults, 0);
    for (int e = 0; e < Stress::kEvents; ++e) {
        const int left = WaitForSingleObject(s.events[e], 0) == WAIT_OBJECT_0;
        EXPECT_LE(s.takes[e] + left, s.sets[e]) << "event " << e;
    }
    EXPECT_EQ(WaitForMultipleObjects(Stress::kMutexes, s.mutexes.data(), TRUE, 0), WAIT_OBJECT_0)
        << "a mutex was left owned";
    for (const HANDLE m : s.mutexes) {
        ReleaseMutex(m);
    }
    EXPECT_EQ(platform::blocked_waits(), 0u);
    for (const HANDLE t : workers) {
        CloseHandle(t);
    }
}

} // namespace
