#include "archive_context.h"

#include "platform/paths.h"

#include <chrono>
#include <ctime>

namespace archive {

double host_local_time() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    // Days from 30 December 1899 to 1 January 1970 are 25569.
    const std::int64_t days = std::int64_t(t + local.tm_gmtoff) / 86400;
    const double seconds = double((t + local.tm_gmtoff) % 86400) + double(ms) / 1000.0;
    return double(days + 25569) + seconds / 86400.0;
}

Path host_dir(const std::string& dir) {
    return platform::resolve_path(dir);
}

} // namespace archive
