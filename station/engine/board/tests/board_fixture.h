// Board control over the in-process fake library, bound as at start-up, on the manual clock.
#pragma once

#include "board/board_control.h"
#include "manual_clock.h"
#include "fake_board.h"
#include "platform/clock.h"
#include "settings/settings_files.h"

#include <gtest/gtest.h>
#include <optional>

namespace station::test {

// The 32 window slots; a slot holds a window when it has fields.
class FakeSlots : public CameraSlots {
public:
    CameraAlarmFields* Window(int slot) override {
        auto& w = windows.at(static_cast<std::size_t>(slot - 1));
        return w ? &*w : nullptr;
    }
    std::array<std::optional<CameraAlarmFields>, kSlotCount> windows;
};

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        map_ = kHrdMapDefaults; // multiplexer and DAC on board 1, sensors and relays on board 4
        lib_.Bind(FakeBoardResolver(fake_), {true, true, true, true});
        fake_.ClearCalls();
        board_.I2CLastTick.fill(platform::clock::now());
        board_.Settings.Delay = 0;
    }

    static std::string C(std::string_view name, std::initializer_list<long long> args) {
        return FakeBoard::Call(name, args);
    }
    using Calls = std::vector<std::string>;

    FakeBoard fake_;
    BoardLibrary lib_;
    std::array<bool, kChipCount> present_{true, true, true, true};
    HrdMapTable map_ = kHrdMapProvisional;
    BoardControl board_{lib_, present_, map_};
    tolm_test::ScopedManualClock clock_{10000};
};

} // namespace station::test
