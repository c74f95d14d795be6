// GetLocalTime: the host's local time, or the fixed one a test set.
#include "platform/local_time.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <optional>

namespace platform::local_time {
namespace {

std::mutex& mutex() {
    static std::mutex m;
    return m;
}

std::optional<SYSTEMTIME>& fixed() {
    static std::optional<SYSTEMTIME> t;
    return t;
}

SYSTEMTIME host_now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm tm{};
    localtime_r(&t, &tm);
    return SYSTEMTIME{
        WORD(tm.tm_year + 1900), WORD(tm.tm_mon + 1), WORD(tm.tm_wday), WORD(tm.tm_mday),
        WORD(tm.tm_hour),        WORD(tm.tm_min),     WORD(tm.tm_sec),  WORD(ms)};
}

} // namespace

void set_fixed(const SYSTEMTIME& time) {
    std::lock_guard lock(mutex());
    fixed() = time;
}

void use_real() {
    std::lock_guard lock(mutex());
    fixed().reset();
}

} // namespace platform::local_time

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime == nullptr) {
        return;
    }
    {
        std::lock_guard lock(platform::local_time::mutex());
        if (platform::local_time::fixed()) {
            *lpSystemTime = *platform::local_time::fixed();
            return;
        }
    }
    *lpSystemTime = platform::local_time::host_now();
}
