// The platform's one clock: a 32-bit millisecond tick that wraps at 2^32.
// Real (milliseconds since the machine started) or manual (set and advanced by a test).
// GetTickCount, timeGetTime, the kernel's tick count and capture time stamps all read it.
#pragma once

#include <chrono>
#include <cstdint>

namespace platform::clock {

// Current tick in milliseconds.
std::uint32_t now();

// Switches to the manual clock, starting at `start`.
void use_manual(std::uint32_t start);
// Switches back to the real clock.
void use_real();
bool is_manual();

// Manual clock only: moves the tick forward by `ms` (wrapping) / sets it. No effect on the real
// clock.
void advance(std::uint32_t ms);
void set(std::uint32_t tick);

// Sleeps `ms` milliseconds: on the real clock it blocks, on the manual clock it advances the tick.
void sleep(std::uint32_t ms);

// Change counter: bumps on every manual advance or set, so waiters can notice time moved.
std::uint64_t generation();
// Blocks until the manual clock moves past `generation` or `real_timeout` elapses (real time).
void wait_for_change(std::uint64_t generation, std::chrono::milliseconds real_timeout);

} // namespace platform::clock
