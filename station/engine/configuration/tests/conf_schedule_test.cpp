// The configuration schedule: the start-up choice and the running check, as one table of
// (entries, date and time) -> configuration, and the running check's once per minute.
#include "configuration/conf_schedule.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace station {
namespace {

// 10 December 2026 is a Thursday.
constexpr int kThu = 10, kFri = 11, kSat = 12, kSun = 13, kMon = 14;

ConfScheduleEntry daily(int hour, int minute) {
    ConfScheduleEntry e;
    e.Hour = static_cast<std::int16_t>(hour);
    e.Minute = static_cast<std::int16_t>(minute);
    e.Enabled = true;
    return e;
}

ConfScheduleEntry with_mode(ConfScheduleEntry e, int mode) {
    e.Mode = static_cast<std::int16_t>(mode);
    return e;
}

ConfScheduleEntry on_date(int hour, int minute, int year, int month, int day) {
    ConfScheduleEntry e = with_mode(daily(hour, minute), 0);
    e.Year = static_cast<std::int16_t>(year);
    e.Month = static_cast<std::int16_t>(month);
    e.Day = static_cast<std::int16_t>(day);
    return e;
}

ConfScheduleEntry disabled(ConfScheduleEntry e) {
    e.Enabled = false;
    return e;
}

LocalDateTime at(int day, int hour, int minute, int second = 0) {
    LocalDateTime t;
    t.year = 2026;
    t.month = 12;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

ConfScheduleTable table_of(const std::vector<std::pair<int, ConfScheduleEntry>>& entries) {
    ConfScheduleTable t{};
    for (const auto& [n, e] : entries) {
        t[n - 1] = e;
    }
    return t;
}

struct Case {
    const char* what;
    std::vector<std::pair<int, ConfScheduleEntry>> entries;
    LocalDateTime now;
    int cur;                  // CurConf at the check
    int scheduled;            // ScheduledConfig
    std::optional<int> check; // the first ScheduleCheck of the minute
};

TEST(ConfSchedule, ChoosesByStartDayAndMode) {
    const Case cases[] = {
        {"no entry", {}, at(kThu, 12, 0), 1, 1, {}},
        {"no entry, another configuration current", {}, at(kThu, 12, 0), 4, 1, {}},
        {"the start last before now", {{3, daily(8, 0)}, {7, daily(20, 0)}}, at(kThu, 7, 0), 1, 7, {}},
        {"the start last before now, later", {{3, daily(8, 0)}, {7, daily(20, 0)}},
         at(kThu, 8, 30), 1, 3, {}},
        {"a start in this minute", {{3, daily(8, 0)}, {7, daily(20, 0)}}, at(kThu, 8, 0), 1, 3, 3},
        {"a start in this minute, already current", {{3, daily(8, 0)}}, at(kThu, 8, 0), 3, 3, {}},
        {"tie: start-up the lower, the check the higher", {{4, daily(8, 0)}, {9, daily(8, 0)}},
         at(kThu, 8, 0), 1, 4, 9},
        {"tie an hour later", {{4, daily(8, 0)}, {9, daily(8, 0)}}, at(kThu, 9, 0), 1, 4, {}},
        {"a start in the next minute is never chosen", {{5, daily(8, 1)}}, at(kThu, 8, 0), 1, 1, {}},
        {"across midnight", {{12, daily(23, 0)}}, at(kFri, 1, 0), 1, 12, {}},
        {"across midnight, the nearer", {{12, daily(23, 0)}, {13, daily(0, 30)}}, at(kFri, 1, 0),
         1, 13, {}},
        {"disabled", {{5, disabled(daily(7, 0))}}, at(kThu, 8, 0), 1, 1, {}},
        {"disabled, starting now", {{5, disabled(daily(8, 0))}}, at(kThu, 8, 0), 1, 1, {}},
        {"Monday to Friday on a Thursday", {{6, with_mode(daily(7, 0), 2)}}, at(kThu, 8, 0), 1, 6,
         {}},
        {"Monday to Friday on a Monday, now", {{6, with_mode(daily(8, 0), 2)}}, at(kMon, 8, 0), 1,
         6, 6},
        {"Monday to Friday on a Friday", {{6, with_mode(daily(7, 0), 2)}}, at(kFri, 8, 0), 1, 6, {}},
        {"Monday to Friday on a Saturday", {{6, with_mode(daily(8, 0), 2)}}, at(kSat, 8, 0), 1, 1,
         {}},
        {"Saturday and Sunday on a Saturday", {{8, with_mode(daily(8, 0), 3)}}, at(kSat, 8, 0), 1,
         8, 8},
        {"Saturday and Sunday on a Sunday", {{8, with_mode(daily(7, 0), 3)}}, at(kSun, 8, 0), 1, 8,
         {}},
        {"Saturday and Sunday on a Monday", {{8, with_mode(daily(8, 0), 3)}}, at(kMon, 8, 0), 1, 1,
         {}},
        {"one-off date today", {{11, on_date(7, 0, 2026, 12, kThu)}}, at(kThu, 8, 0), 1, 11, {}},
        {"one-off date today, now", {{11, on_date(8, 0, 2026, 12, kThu)}}, at(kThu, 8, 0), 1, 11,
         11},
        {"one-off date yesterday", {{11, on_date(7, 0, 2026, 12, 9)}}, at(kThu, 8, 0), 1, 1, {}},
        {"one-off date a year later", {{11, on_date(8, 0, 2027, 12, kThu)}}, at(kThu, 8, 0), 1, 1,
         {}},
        {"one-off and daily starting now: the check the higher",
         {{5, daily(8, 0)}, {6, on_date(8, 0, 2026, 12, kThu)}}, at(kThu, 8, 0), 1, 5, 6},
        // Entries the pickers cannot show never match (unchecked, hour 25 or minute 75 would
        // win with a negative distance).
        {"hour 25", {{2, daily(0, 0)}, {14, daily(25, 0)}}, at(kThu, 0, 30), 1, 2, {}},
        {"minute 75", {{2, daily(0, 0)}, {15, daily(23, 75)}}, at(kThu, 0, 10), 1, 2, {}},
        {"hour -1", {{16, daily(-1, 0)}}, at(kThu, 0, 30), 1, 1, {}},
        {"minute -1", {{16, daily(8, -1)}}, at(kThu, 7, 59), 1, 1, {}},
        {"hour 24", {{17, daily(24, 0)}}, at(kThu, 0, 0), 1, 1, {}},
        {"mode 4", {{18, with_mode(daily(8, 0), 4)}}, at(kThu, 8, 0), 1, 1, {}},
        {"mode -1", {{18, with_mode(daily(8, 0), -1)}}, at(kThu, 8, 0), 1, 1, {}},
        {"one-off on 31 February", {{19, on_date(7, 0, 2026, 2, 31)}}, at(kThu, 8, 0), 1, 1, {}},
        {"daily with a bad stored date", {{19, [] {
              ConfScheduleEntry e = daily(8, 0);
              e.Month = 13;
              return e;
          }()}},
         at(kThu, 8, 0), 1, 1, {}},
        {"the last configuration", {{99, daily(8, 0)}}, at(kThu, 8, 0), 1, 99, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ConfScheduleTable t = table_of(c.entries);
        EXPECT_EQ(ScheduledConfig(t, c.now), c.scheduled);
        EXPECT_EQ(ScheduleCheck(t, c.cur, c.now), c.check);
    }
}

// Within the minute of a start the check asks for the scheduled configuration whenever another
// one is current: once it is loaded nothing more, and a configuration chosen by hand within
// that minute is replaced again; after the minute a hand choice stands.
TEST(ConfSchedule, CheckHoldsTheStartMinute) {
    const ConfScheduleTable t = table_of({{3, daily(8, 0)}});
    EXPECT_EQ(ScheduleCheck(t, 1, at(kThu, 7, 59, 59)), std::nullopt);
    EXPECT_EQ(ScheduleCheck(t, 1, at(kThu, 8, 0, 0)), 3);
    EXPECT_EQ(ScheduleCheck(t, 1, at(kThu, 8, 0, 0)), 3) << "not loaded yet";
    EXPECT_EQ(ScheduleCheck(t, 3, at(kThu, 8, 0, 1)), std::nullopt) << "loaded";
    EXPECT_EQ(ScheduleCheck(t, 5, at(kThu, 8, 0, 30)), 3) << "chosen by hand in the minute";
    EXPECT_EQ(ScheduleCheck(t, 5, at(kThu, 8, 1, 0)), std::nullopt) << "chosen after it";
    EXPECT_EQ(ScheduleCheck(t, 5, at(kFri, 8, 0, 0)), 3) << "the next day";
}

TEST(ConfSchedule, WeekdaysRunSundayToSaturday) {
    EXPECT_EQ(Weekday(2026, 12, kSun), 1);
    EXPECT_EQ(Weekday(2026, 12, kMon), 2);
    EXPECT_EQ(Weekday(2026, 12, kThu), 5);
    EXPECT_EQ(Weekday(2026, 12, kSat), 7);
    EXPECT_EQ(Weekday(1970, 1, 1), 5);
    EXPECT_EQ(Weekday(1969, 12, 28), 1);
    EXPECT_EQ(Weekday(2000, 2, 29), 3);
}

} // namespace
} // namespace station
