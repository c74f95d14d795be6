// The station's local date and time (the work log's clock). Real unless the station state's
// `LocalClock` gives a source (a test fixes the date and time the station sees so).
#pragma once

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

struct BaseState;

// One reading of the station's clock.
LocalDateTime LocalNow(const BaseState& base);

// Days from 1 January 1970 to the given civil date (proleptic Gregorian; negative before).
long long DaysFromCivil(int year, int month, int day);
// Whether year/month/day names a real date.
bool IsValidDate(int year, int month, int day);

} // namespace station
