#include "platform/clock.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <time.h>

namespace platform::clock {
namespace {

struct State {
    std::atomic<bool> manual{false};
    std::atomic<std::uint32_t> tick{0};
    std::atomic<std::uint64_t> generation{0};
    std::atomic<std::uint32_t> spin_reads{10000};
    std::mutex mutex;
    std::condition_variable changed;
    std::array<std::atomic<void (*)()>, 8> listeners{};
};

State& state() {
    static State s;
    return s;
}

std::uint32_t real_tick() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms =
        std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void notify() {
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        s.generation.fetch_add(1, std::memory_order_acq_rel);
    }
    s.changed.notify_all();
    for (auto& slot : s.listeners) {
        if (auto* fn = slot.load(std::memory_order_acquire)) {
            fn();
        }
    }
}

// Per thread: the generation seen at the last read and how many reads saw it unchanged.
thread_local std::uint64_t spin_generation = ~std::uint64_t(0);
thread_local std::uint32_t spin_count = 0;

} // namespace

std::uint32_t now() {
    State& s = state();
    if (!s.manual.load(std::memory_order_acquire)) {
        return real_tick();
    }
    const std::uint32_t limit = s.spin_reads.load(std::memory_order_relaxed);
    if (limit != 0) {
        const std::uint64_t gen = s.generation.load(std::memory_order_acquire);
        if (gen != spin_generation) {
            spin_generation = gen;
            spin_count = 0;
        } else if (++spin_count > limit) {
            spin_count = 0;
            advance(1);
        }
    }
    return s.tick.load(std::memory_order_acquire);
}

std::uint32_t peek() {
    State& s = state();
    return s.manual.load(std::memory_order_acquire) ? s.tick.load(std::memory_order_acquire)
                                                    : real_tick();
}

void use_manual(std::uint32_t start) {
    State& s = state();
    s.tick.store(start, std::memory_order_release);
    s.manual.store(true, std::memory_order_release);
    notify();
}

void use_real() {
    state().manual.store(false, std::memory_order_release);
    notify();
}

bool is_manual() {
    return state().manual.load(std::memory_order_acquire);
}

void advance(std::uint32_t ms) {
    State& s = state();
    if (!s.manual.load(std::memory_order_acquire)) {
        return;
    }
    s.tick.fetch_add(ms, std::memory_order_acq_rel); // unsigned: wraps at 2^32
    notify();
}

void set(std::uint32_t tick) {
    State& s = state();
    if (!s.manual.load(std::memory_order_acquire)) {
        return;
    }
    s.tick.store(tick, std::memory_order_release);
    notify();
}

void sleep(std::uint32_t ms) {
    if (is_manual()) {
        advance(ms);
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

std::uint64_t generation() {
    return state().generation.load(std::memory_order_acquire);
}

void wait_for_change(std::uint64_t gen, std::chrono::milliseconds real_timeout) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    s.changed.wait_for(lock, real_timeout,
                       [&] { return s.generation.load(std::memory_order_acquire) != gen; });
}

void add_change_listener(void (*listener)()) {
    for (auto& slot : state().listeners) {
        void (*expected)() = nullptr;
        if (slot.compare_exchange_strong(expected, listener, std::memory_order_acq_rel) ||
            expected == listener) {
            return;
        }
    }
}

void set_spin_advance(std::uint32_t reads) {
    state().spin_reads.store(reads, std::memory_order_relaxed);
}

} // namespace platform::clock
