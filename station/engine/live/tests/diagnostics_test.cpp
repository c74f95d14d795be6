// The diagnostics window's figures: frame periods with the manual clock, the grid texts, the
// counters and the general reset.
#include "live/diagnostics.h"
#include "manual_clock.h"

#include "base/language.h"
#include "live_fakes.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace live_test {
namespace {

class DiagnosticsFigures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
    }

    FakeBoard board;
    LiveCounters counters;
    BaseState base_;
    Diagnostics mes{counters, &board, base_.LangList};
    tolm_test::ScopedManualClock clock_{0xFFFFFF00u}; // the first periods cross the wrap
};

TEST_F(DiagnosticsFigures, PeriodsStartAtTheSecondFrameAndKeepARunningMean) {
    // Column 2k - 1 is the latest period of chip k, column 2k the mean; row = camera.
    mes.IntervalProcess(3, 2);
    EXPECT_EQ(mes.PeriodCell(3, 3), "0.00");
    EXPECT_EQ(mes.PeriodCell(4, 3), "0.00");
    platform::clock::advance(120);
    mes.IntervalProcess(3, 2);
    EXPECT_EQ(mes.PeriodCell(3, 3), "120.00");
    EXPECT_EQ(mes.PeriodCell(4, 3), "120.00");
    for (int i = 0; i < 3; ++i) {
        platform::clock::advance(40);
        mes.IntervalProcess(3, 2);
    }
    EXPECT_EQ(mes.PeriodCell(3, 3), "40.00");
    EXPECT_EQ(mes.PeriodCell(4, 3), "60.00");
    EXPECT_EQ(mes.PeriodOf(2, 3).Count, 4);
    // Other cameras and chips are untouched; out-of-range calls change nothing.
    mes.IntervalProcess(0, 2);
    mes.IntervalProcess(3, 5);
    EXPECT_EQ(mes.PeriodCell(1, 3), "0.00");
    EXPECT_TRUE(mes.PeriodOf(2, 4).First);
}

TEST_F(DiagnosticsFigures, PeriodTextKeepsFourDigits) {
    const struct {
        long double value;
        const char* text;
    } cases[] = {{0, "0.00"},         {40, "40.00"},        {33.333, "33.33"},
                 {123.456, "123.50"}, {1999.96, "2000.00"}, {12345.6, "1.235E+04"}};
    for (const auto& c : cases) {
        EXPECT_EQ(PeriodText(c.value), c.text) << static_cast<double>(c.value);
    }
}

TEST_F(DiagnosticsFigures, GridTexts) {
    EXPECT_EQ(mes.PeriodCell(0, 0), "");
    EXPECT_EQ(mes.PeriodCell(1, 0), base_.LangList[274] + " 1");
    EXPECT_EQ(mes.PeriodCell(8, 0), base_.LangList[275] + " 4");
    EXPECT_EQ(mes.PeriodCell(0, 16), "16");
    EXPECT_EQ(mes.ErrorCell(0, 0), base_.LangList[302]);
    EXPECT_EQ(mes.ErrorCell(5, 0), "5");
    EXPECT_EQ(mes.ErrorCell(9, 0), base_.LangList[306]);
    EXPECT_EQ(mes.ErrorCell(10, 0), base_.LangList[305]);
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(mes.ErrorCell(0, row), base_.LangList[295 + row]);
    }
    board.figures.ErrorCounts[0][8] = 17; // multiplexer read-back mismatches
    board.figures.ErrorCounts[3][0] = 2;
    board.figures.FailTotals[1] = 1000000;
    EXPECT_EQ(mes.ErrorCell(9, 1), "17");
    EXPECT_EQ(mes.ErrorCell(1, 4), "2");
    EXPECT_EQ(mes.ErrorCell(10, 2), "1000000");
    EXPECT_EQ(mes.ErrorCell(11, 2), "");
    EXPECT_EQ(mes.BufChipCell(3), "4");
    EXPECT_EQ(mes.ErrorLabel(), "0000");
    mes.SetErrorWord(0xFF000);
    EXPECT_EQ(mes.ErrorLabel(), "000FF000");
}

TEST_F(DiagnosticsFigures, CountersStopAtOneMillionAndShowFromTheNextFrame) {
    counters.EmptyFrameCount = kLiveCounterLimit - 1;
    CountLive(counters.EmptyFrameCount);
    CountLive(counters.EmptyFrameCount);
    EXPECT_EQ(counters.EmptyFrameCount, kLiveCounterLimit);
    board.figures.BusResetCount = 12;
    mes.IntervalProcess(1, 1);
    platform::clock::advance(40);
    mes.IntervalProcess(1, 1);
    EXPECT_EQ(mes.UnkLabel(), base_.LangList[312] + " 1000000");
    EXPECT_EQ(mes.SelResetLabel(), base_.LangList[301] + " 12");

    // The general reset clears counters, memo and periods but not the buffer states; the
    // labels keep their text until the next frame.
    mes.BufStates[1][0] = kBufBad;
    mes.AddRegsLine("x");
    mes.ResetBtnClick();
    EXPECT_EQ(counters.EmptyFrameCount, 0u);
    EXPECT_EQ(board.clears, 1);
    EXPECT_TRUE(mes.RegsMemo().empty());
    EXPECT_TRUE(mes.PeriodOf(1, 1).First);
    EXPECT_EQ(mes.PeriodCell(1, 1), "0.00");
    EXPECT_EQ(mes.BufStates[1][0], kBufBad);
    EXPECT_EQ(mes.UnkLabel(), base_.LangList[312] + " 1000000");
    mes.IntervalProcess(1, 1);
    platform::clock::advance(40);
    mes.IntervalProcess(1, 1);
    EXPECT_EQ(mes.UnkLabel(), base_.LangList[312] + " 0");
}

} // namespace
} // namespace live_test
