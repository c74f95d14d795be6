// The work log: one plain-text file per day in the program folder, named YYYYMMDD.rpt, one
// line per event: the two-digit category, a blank, the local time hh:mm:ss, a blank, the text
// (CP1251), CR LF. The first line of a day creates its file and purges files older than
// `ReportDays` days. The switches `ReportFlags` and `ReportDays` are the station's `BaseState`.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "local_clock.h"

namespace station {

struct BaseState;

// Appends one line of `category` (1..6) to today's file when the log and the category are on.
// Other categories are ignored. File errors lose the line silently.
void WriteReport(const BaseState& base, int category, std::string_view text);

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
