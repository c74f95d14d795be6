#include "platform/clock.h"

#include <gtest/gtest.h>

namespace clk = platform::clock;

TEST(Clock, ManualClockAdvancesBySleepAndWrapsAt32Bits) {
    clk::use_manual(0xFFFFFFF0u);
    EXPECT_EQ(clk::now(), 0xFFFFFFF0u);
    clk::sleep(0x20);
    EXPECT_EQ(clk::now(), 0x10u);
    clk::advance(5);
    EXPECT_EQ(clk::now(), 0x15u);
    clk::set(7);
    EXPECT_EQ(clk::now(), 7u);
    clk::use_real();
    EXPECT_FALSE(clk::is_manual());
}

TEST(Clock, RealClockMovesAndIgnoresManualCalls) {
    clk::use_real();
    const auto t0 = clk::now();
    clk::sleep(20);
    const auto t1 = clk::now();
    EXPECT_GE(std::uint32_t(t1 - t0), 19u);
    const auto g = clk::generation();
    clk::advance(100000);
    EXPECT_EQ(clk::generation(), g);
    EXPECT_LT(std::uint32_t(clk::now() - t1), 10000u);
}
