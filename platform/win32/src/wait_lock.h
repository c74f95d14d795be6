// The process-wide lock under which every waitable object changes state and every wait checks,
// takes and blocks on its objects.
#pragma once

#include <mutex>

namespace platform::detail {

std::mutex& wait_mutex();

} // namespace platform::detail
