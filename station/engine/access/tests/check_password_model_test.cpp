// The login dialog's check and the refusal's flash by phase, on ticks given by the test.
#include "access/check_password_model.h"

#include <gtest/gtest.h>

namespace station {
namespace {

using Colour = CheckPasswordModel::Colour;

TEST(LoginFlash, ColourByPhase) {
    const struct {
        std::uint32_t t;
        Colour colour;
    } cases[] = {
        {0, Colour::Red},      {500, Colour::Red},    {501, Colour::White},  {999, Colour::White},
        {1000, Colour::Red},   {1500, Colour::Red},   {1750, Colour::White}, {2000, Colour::Red},
        {2600, Colour::White}, {3000, Colour::Red},   {3500, Colour::Red},   {3501, Colour::White},
        {3999, Colour::White}, {4000, Colour::White}, {4001, Colour::White},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckPasswordModel::FlashColour(c.t), c.colour) << c.t;
    }
}

TEST(LoginFlash, RefusalRunsFourSecondsAndSurvivesAWrap) {
    LanguageList lang;
    CheckPasswordModel model(lang, {"123", "45"});
    EXPECT_EQ(model.Check("45", 10), 2);
    EXPECT_FALSE(model.Flashing());
    EXPECT_EQ(model.Check("123", 10), 1);

    const std::uint32_t start = 0xFFFFFF00u;
    EXPECT_EQ(model.Check("9", start), 0);
    EXPECT_TRUE(model.Flashing());
    EXPECT_EQ(model.FlashTick(start + 100).colour, Colour::Red);
    // The counter wraps: the flash starts again at the new tick.
    const auto after_wrap = model.FlashTick(50);
    EXPECT_FALSE(after_wrap.done);
    EXPECT_EQ(after_wrap.colour, Colour::Red);
    EXPECT_EQ(model.FlashTick(50 + 700).colour, Colour::White);
    EXPECT_FALSE(model.FlashTick(50 + 4000).done);
    const auto end = model.FlashTick(50 + 4001);
    EXPECT_TRUE(end.done);
    EXPECT_EQ(end.colour, Colour::White);
    EXPECT_FALSE(model.Flashing());
    EXPECT_EQ(model.Result(), 0);
}

} // namespace
} // namespace station
