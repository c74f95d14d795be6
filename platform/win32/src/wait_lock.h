// The process-wide lock under which every waitable object changes state, and the condition
// variable on which every wait sleeps.
#pragma once

#include <condition_variable>
#include <mutex>

namespace platform::detail {

std::mutex& wait_mutex();
std::condition_variable& wait_changed();

} // namespace platform::detail
