// The station's local date and time (the work log's clock). Real by default; a test sets its
// own source and so fixes the date and time the station sees.
#pragma once

#include <functional>

namespace station {

struct LocalDateTime {
    int year = 2000;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// One reading of the clock.
LocalDateTime LocalNow();

// Replaces the clock's source; an empty function restores the real local time.
void SetLocalClock(std::function<LocalDateTime()> source);

// Days from 1 January 1970 to the given civil date (proleptic Gregorian; negative before).
long long DaysFromCivil(int year, int month, int day);
// Whether year/month/day names a real date.
bool IsValidDate(int year, int month, int day);

} // namespace station
