#include "conf_schedule.h"

namespace station {
namespace {

constexpr int kMinutesPerDay = 1440;

int minute_of_day(int hour, int minute) {
    return hour * 60 + minute;
}

} // namespace

bool ScheduleEntryValid(const ConfScheduleEntry& e) {
    return e.Hour >= 0 && e.Hour <= 23 && e.Minute >= 0 && e.Minute <= 59 && e.Mode >= 0 &&
           e.Mode <= 3 && IsValidDate(e.Year, e.Month, e.Day);
}

int Weekday(int year, int month, int day) {
    // 1 January 1970 was a Thursday (5).
    const long long d = (DaysFromCivil(year, month, day) + 4) % 7;
    return static_cast<int>(d < 0 ? d + 7 : d) + 1;
}

bool ScheduleEntryApplies(const ConfScheduleEntry& e, const LocalDateTime& day) {
    if (!e.Enabled || !ScheduleEntryValid(e)) {
        return false;
    }
    switch (e.Mode) {
    case 0:
        return e.Day == day.day && e.Month == day.month && e.Year == day.year;
    case 1:
        return true;
    case 2: {
        const int w = Weekday(day.year, day.month, day.day);
        return w >= 2 && w <= 6;
    }
    default: {
        const int w = Weekday(day.year, day.month, day.day);
        return w == 1 || w == 7;
    }
    }
}

int ScheduledConfig(const ConfScheduleTable& schedule, const LocalDateTime& now) {
    const int t = minute_of_day(now.hour, now.minute);
    int best = 1;
    int best_distance = kMinutesPerDay - 1;
    for (int i = 1; i <= kConfigurationCount; ++i) {
        const ConfScheduleEntry& e = schedule[i - 1];
        if (!ScheduleEntryApplies(e, now)) {
            continue;
        }
        const int s = minute_of_day(e.Hour, e.Minute);
        const int distance = t >= s ? t - s : t - s + kMinutesPerDay;
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    return best;
}

std::optional<int> ScheduleCheck(const ConfScheduleTable& schedule, int curConf,
                                 const LocalDateTime& now) {
    int candidate = curConf;
    for (int i = 1; i <= kConfigurationCount; ++i) {
        const ConfScheduleEntry& e = schedule[i - 1];
        if (ScheduleEntryApplies(e, now) && e.Hour == now.hour && e.Minute == now.minute) {
            candidate = i;
        }
    }
    if (candidate == curConf) {
        return std::nullopt;
    }
    return candidate;
}

} // namespace station
