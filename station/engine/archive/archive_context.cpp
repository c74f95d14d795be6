#include "archive_context.h"

#include <win32/sysinfo.h>

#include "base/local_clock.h"

#include <algorithm>

namespace archive {

double host_local_time() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // Days from 30 December 1899 to 1 January 1970 are 25569.
    const long long days = station::DaysFromCivil(now.wYear, now.wMonth, now.wDay) + 25569;
    const double seconds = double((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) +
                           double(now.wMilliseconds) / 1000.0;
    return double(days) + seconds / 86400.0;
}

Path host_dir(const std::string& dir) {
    std::string path = dir;
    std::replace(path.begin(), path.end(), '\\', '/');
    return Path(path);
}

} // namespace archive
