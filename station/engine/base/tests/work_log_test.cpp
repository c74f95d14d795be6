#include "base/work_log.h"

#include "program_dir_fixture.h"

namespace station {
namespace {

class WorkLog : public test::ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        base_.ReportFlags.fill(true);
        base_.ReportDays = 7;
        at(2026, 3, 10, 9, 5, 3);
    }
    void TearDown() override {
        base_.LocalClock = nullptr;
        base_.ReportFlags.fill(false);
        base_.ReportDays = 7;
        ProgramDirTest::TearDown();
    }
    void at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
        const LocalDateTime t{y, mo, d, h, mi, s, ms};
        base_.LocalClock = ([t] { return t; });
    }
    std::string text(std::string_view name) const {
        const auto b = read(name);
        return {b.begin(), b.end()};
    }
    void touch(std::string_view name) const { write(name, {'x'}); }
    bool exists(std::string_view name) const { return std::filesystem::exists(path(name)); }
};

TEST_F(WorkLog, LineFormatAndFileName) {
    WriteReport(base_, 6, "\xD1\xF2\xE0\xF0\xF2");
    at(2026, 3, 10, 23, 59, 59);
    WriteReport(base_, 2, "b");
    at(987, 1, 2, 0, 0, 0);
    WriteReport(base_, 5, "c");
    EXPECT_EQ(text("20260310.rpt"), "06 09:05:03 \xD1\xF2\xE0\xF0\xF2\r\n02 23:59:59 b\r\n");
    EXPECT_EQ(text("09870102.rpt"), "05 00:00:00 c\r\n");
    EXPECT_EQ(WorkLogLine(10, {}, "x"), "10 00:00:00 x\r\n");
    EXPECT_EQ(WorkLogLine(0, {}, ""), "00 00:00:00 \r\n");
}

TEST_F(WorkLog, WritesOnlyWhenTheLogAndTheCategoryAreOn) {
    const struct {
        const char* what;
        std::array<bool, 6> flags;
        int category;
        bool written;
    } cases[] = {
        {"log off, all categories on", {false, true, true, true, true, true}, 6, false},
        {"log on, category off", {true, true, true, true, true, false}, 6, false},
        {"log and category on", {true, false, false, false, false, true}, 6, true},
        {"category 1 follows the log flag", {true, false, false, false, false, false}, 1, true},
        {"category 0 ignored", {true, true, true, true, true, true}, 0, false},
        {"category 7 ignored", {true, true, true, true, true, true}, 7, false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path("20260310.rpt"));
        base_.ReportFlags = c.flags;
        WriteReport(base_, c.category, "t");
        EXPECT_EQ(exists("20260310.rpt"), c.written) << c.what;
    }
}

TEST_F(WorkLog, ReadsTheClockOncePerLine) {
    // The second reading would already be the next day.
    int readings = 0;
    base_.LocalClock = ([&readings] {
        return ++readings == 1 ? LocalDateTime{2026, 3, 10, 23, 59, 59, 999}
                               : LocalDateTime{2026, 3, 11, 0, 0, 0, 0};
    });
    WriteReport(base_, 6, "midnight");
    EXPECT_EQ(readings, 1);
    EXPECT_EQ(text("20260310.rpt"), "06 23:59:59 midnight\r\n");
    EXPECT_FALSE(exists("20260311.rpt"));
}

TEST_F(WorkLog, FirstLineOfADayPurgesOldFilesOnly) {
    const char* deleted[] = {"20260303.rpt", "20250101.rpt", "20260303abc.RPT"};
    const char* kept[] = {"20260304.rpt", "20260309.rpt", "notes.rpt",   "2026x301.rpt",
                          "20261301.rpt", "20260230.rpt", "2026031.rpt", "20200101.txt"};
    for (const char* n : deleted) {
        touch(n);
    }
    for (const char* n : kept) {
        touch(n);
    }
    std::filesystem::create_directory(path("20200102.rpt"));
    at(2026, 3, 10, 0, 0, 1);
    WriteReport(base_, 6, "first");
    for (const char* n : deleted) {
        EXPECT_FALSE(exists(n)) << n;
    }
    for (const char* n : kept) {
        EXPECT_TRUE(exists(n)) << n;
    }
    EXPECT_TRUE(std::filesystem::is_directory(path("20200102.rpt")));
    // A second line the same day does not purge.
    touch("20200101.rpt");
    WriteReport(base_, 6, "second");
    EXPECT_TRUE(exists("20200101.rpt"));
    EXPECT_EQ(text("20260310.rpt"), "06 00:00:01 first\r\n06 00:00:01 second\r\n");
}

TEST_F(WorkLog, KeepsTodayAndTheDaysBefore) {
    const struct {
        int days;
        const char* file;
        bool kept;
    } cases[] = {
        {1, "20260309.rpt", false}, // yesterday goes with one day kept
        {2, "20260309.rpt", true},   {2, "20260308.rpt", false}, {0, "20260309.rpt", false},
        {7, "20260304.rpt", true},   {7, "20260303.rpt", false}, {30, "20260209.rpt", true},
        {30, "20260208.rpt", false}, // across February
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path("20260310.rpt"));
        touch(c.file);
        base_.ReportDays = c.days;
        WriteReport(base_, 6, "t");
        EXPECT_EQ(exists(c.file), c.kept) << c.days << " days, " << c.file;
        std::filesystem::remove(path(c.file));
    }
}

TEST_F(WorkLog, FileErrorsLoseTheLineQuietly) {
    std::filesystem::create_directory(path("20260310.rpt"));
    WriteReport(base_, 6, "lost");
    EXPECT_TRUE(std::filesystem::is_directory(path("20260310.rpt")));
    SetProgramDir(base_, (dir_ / "gone").string());
    WriteReport(base_, 6, "lost");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "gone"));
}

TEST(ReportFileDate, ReadsTheFirstEightCharacters) {
    const struct {
        const char* name;
        std::optional<CivilDate> date;
    } cases[] = {
        {"20260310.rpt", CivilDate{2026, 3, 10}},
        {"20240229.rpt", CivilDate{2024, 2, 29}},
        {"20230229.rpt", std::nullopt},
        {"21000229.rpt", std::nullopt},
        {"20000229x.rpt", CivilDate{2000, 2, 29}},
        {"20261232.rpt", std::nullopt},
        {"20260010.rpt", std::nullopt},
        {"00000101.rpt", std::nullopt},
        {"2026031", std::nullopt},
        {"2026-3-1.rpt", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReportFileDate(c.name), c.date) << c.name;
    }
}

} // namespace
} // namespace station
