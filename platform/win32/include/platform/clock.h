// The platform's one clock: a 32-bit millisecond tick that wraps at 2^32.
// Real (milliseconds since the machine started) or manual (set and advanced by a test).
// GetTickCount, timeGetTime, the kernel's tick count and capture time stamps all read it.
#pragma once

#include <chrono>
#include <cstdint>

namespace platform::clock {

// Current tick in milliseconds.
std::uint32_t now();
// The same tick, but the read never counts as spinning on the manual clock (see
// set_spin_advance); for the platform's own waits, which may hold locks.
std::uint32_t peek();

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

// Called after every change of the clock (manual advance or set, switch between real and
// manual), outside the clock's own lock. Used by the waits to re-check their deadlines. At most
// eight listeners; a listener is never removed.
void add_change_listener(void (*listener)());

// Busy waits on the manual clock: a thread that reads the tick `reads` times in a row while the
// clock does not move is taken to spin on it, and its next read advances the tick by 1 ms, so a
// loop that waits for the tick to move ends. 0 turns this off; the default is 10000.
void set_spin_advance(std::uint32_t reads);

} // namespace platform::clock
