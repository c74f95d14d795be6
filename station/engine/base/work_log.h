// The work log: one plain-text file per day in the program folder, named YYYYMMDD.rpt, one
// line per event: the two-digit category, a blank, the local time hh:mm:ss, a blank, the text
// (CP1251), CR LF. The first line of a day creates its file and purges files older than
// `ReportDays` days.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "local_clock.h"

namespace station {

// Entry 0: the work log is on; entry n - 1 (n = 2..6): lines of category n are written.
// Categories: 2 operator actions, 3 alarm events, 4 network, 5 hardware, 6 other.
extern std::array<bool, 6> ReportFlags;
// Days a log file is kept.
extern std::int32_t ReportDays;

// Appends one line of `category` (1..6) to today's file when the log and the category are on.
// Other categories are ignored. File errors lose the line silently.
void WriteReport(int category, std::string_view text);

struct CivilDate {
    int year;
    int month;
    int day;
    bool operator==(const CivilDate&) const = default;
};

// The date named by the first eight characters of a log file name (YYYYMMDD), or nothing when
// they are not a valid date.
std::optional<CivilDate> ReportFileDate(std::string_view file_name);

// The pieces of a log line and the file name of a day, as WriteReport builds them.
std::string WorkLogFileName(const LocalDateTime& now);
std::string WorkLogLine(int category, const LocalDateTime& now, std::string_view text);

} // namespace station
