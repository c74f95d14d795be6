#include "board/board_library.h"

#include "fake_board.h"
#include "manual_clock.h"
#include "platform/paths.h"
#include "system_root.h"
#include "win32/modules.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace station {
namespace {

using test::FakeBoard;

std::string C(std::string_view name, std::initializer_list<long long> args) {
    return FakeBoard::Call(name, args);
}

// The calls of a successful binding on chip `chip` up to the GPIO set-up.
std::vector<std::string> i2c_setup(int chip) {
    std::vector<std::string> v;
    for (int k = 0; k <= chip; ++k) {
        v.push_back(C("I2CIsInitOK", {k}));
    }
    v.push_back(C("I2CInitHWMode", {100000, chip}));
    return v;
}

std::vector<std::string> gpio_pulse(int chip) {
    return {C("SetGPIOMODE", {0, chip}), C("SetGPOE", {0x200, chip}),
            C("SetGPDATABits", {9, 9, 1, 0, chip}), C("SetGPDATABits", {9, 9, 0, 0, chip}),
            C("SetGPDATABits", {9, 9, 1, 0, chip})};
}

// A temporary system root whose system directory may hold the fake library under the name
// the installer gives the board-control library.
class BoardLibraryBinding : public ::testing::Test {
protected:
    void TearDown() override {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }

    // Installs the fake and loads it, so that faults can be set before the binding runs.
    FakeBoard& install() {
        std::filesystem::copy_file(FAKE_BOARD_MODULE,
                                   platform::system_directory() / "tarvovfw.dll");
        module_ = LoadLibraryA(kBoardLibraryName);
        EXPECT_NE(module_, nullptr);
        auto state = reinterpret_cast<test::FakeBoardStateFn>(
            GetProcAddress(module_, test::kFakeBoardStateName));
        return *state();
    }

    tolm_test::TempSystemRoot root_{"tolm-boardlib"};
    tolm_test::ScopedManualClock clock_{1000};
    HMODULE module_ = nullptr;
};

TEST_F(BoardLibraryBinding, MissingLibraryLeavesBoardControlOff) {
    BoardLibrary lib;
    lib.Load({true, true, true, true});
    EXPECT_FALSE(lib.BoardLibLoaded());
    EXPECT_FALSE(lib.BoardControlOn());
}

TEST_F(BoardLibraryBinding, BindsByNameAndPulsesTheResetLineOfEveryInitialisedChip) {
    FakeBoard& fake = install();
    for (const char* name : kBoardFunctionNames) {
        EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
    }
    fake.gpio_init_ok = {1, 0, 1, 1};
    BoardLibrary lib;
    lib.Load({false, true, true, false});
    EXPECT_TRUE(lib.BoardLibLoaded());
    ASSERT_TRUE(lib.BoardControlOn());

    std::vector<std::string> want = {C("I2CIsInitOK", {1}), C("I2CInitHWMode", {100000, 1})};
    for (int chip = 0; chip < 4; ++chip) {
        want.push_back(C("GPIOIsInitOK", {chip}));
        if (chip != 1) {
            const auto p = gpio_pulse(chip);
            want.insert(want.end(), p.begin(), p.end());
        }
    }
    EXPECT_EQ(fake.calls, want);
    // 1 ms between the three levels of each pulse.
    for (std::size_t i = 0; i < fake.calls.size(); ++i) {
        if (fake.calls[i] == C("SetGPDATABits", {9, 9, 1, 0, 0})) {
            EXPECT_GE(fake.ticks[i + 1] - fake.ticks[i], 1u);
            EXPECT_GE(fake.ticks[i + 2] - fake.ticks[i + 1], 1u);
            break;
        }
    }

    // The bound functions are the library's own.
    fake.ClearCalls();
    fake.bridge_present = 1;
    EXPECT_EQ(lib.Table().TarvoIsBridge(), 1);
    lib.Table().TarvoRiscStart(3);
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{C("TarvoIsBridge", {}), C("TarvoRiscStart", {3})}));
    lib.Release();
    EXPECT_FALSE(lib.BoardLibLoaded());
    EXPECT_FALSE(lib.BoardControlOn());
}

TEST_F(BoardLibraryBinding, EveryFailureStopsTheBindingWithNoFurtherCall) {
    FakeBoard& fake = install();
    const auto gpio_all_off = [] {
        std::vector<std::string> v;
        for (int chip = 0; chip < 4; ++chip) {
            v.push_back(C("GPIOIsInitOK", {chip}));
        }
        return v;
    };
    const auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        const char* what;
        std::array<bool, 4> connected;
        std::array<BYTE, 4> i2c_ok;
        LONG hw_init;
        std::array<BYTE, 4> gpio_ok;
        bool on;
        std::vector<std::string> calls;
    } cases[] = {
        {"no capture driver connected",
         {false, false, false, false},
         {1, 1, 1, 1},
         0,
         {1, 1, 1, 1},
         false,
         {}},
        {"I2C of no connected chip initialised",
         {true, false, true, false},
         {0, 1, 0, 1},
         0,
         {1, 1, 1, 1},
         false,
         {C("I2CIsInitOK", {0}), C("I2CIsInitOK", {2})}},
        {"the first connected chip with I2C carries the set-up",
         {true, true, false, false},
         {0, 1, 1, 1},
         0,
         {0, 1, 0, 0},
         true,
         join(i2c_setup(1),
              join({C("GPIOIsInitOK", {0}), C("GPIOIsInitOK", {1})},
                   join(gpio_pulse(1), {C("GPIOIsInitOK", {2}), C("GPIOIsInitOK", {3})})))},
        {"hardware-mode initialisation fails",
         {true, true, true, true},
         {1, 1, 1, 1},
         -1,
         {1, 1, 1, 1},
         false,
         i2c_setup(0)},
        {"no chip's GPIO initialised",
         {true, true, true, true},
         {1, 1, 1, 1},
         0,
         {0, 0, 0, 0},
         false,
         join(i2c_setup(0), gpio_all_off())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake.ClearCalls();
        fake.i2c_init_ok = c.i2c_ok;
        fake.hw_init_result = c.hw_init;
        fake.gpio_init_ok = c.gpio_ok;
        BoardLibrary lib;
        lib.Load(c.connected);
        EXPECT_TRUE(lib.BoardLibLoaded());
        EXPECT_EQ(lib.BoardControlOn(), c.on);
        EXPECT_EQ(fake.calls, c.calls);
    }
}

TEST(BoardLibraryLookup, AnyMissingFunctionLeavesBoardControlOffWithNoFurtherCall) {
    FakeBoard fake;
    for (std::size_t i = 0; i < kBoardFunctionNames.size(); ++i) {
        const std::string name = kBoardFunctionNames[i];
        SCOPED_TRACE(name);
        fake.ClearCalls();
        BoardLibrary lib;
        lib.Bind(test::FakeBoardResolver(fake, name), {true, true, true, true});
        EXPECT_FALSE(lib.BoardControlOn());
        // I2CIsInitOK is asked before the other I2C functions are looked up, the hardware-mode
        // initialisation before the rest.
        std::vector<std::string> want;
        if (i >= 1) {
            want.push_back(C("I2CIsInitOK", {0}));
        }
        if (i >= 4) {
            want.push_back(C("I2CInitHWMode", {100000, 0}));
        }
        EXPECT_EQ(fake.calls, want);
    }
    fake.ClearCalls();
    BoardLibrary lib;
    lib.Bind(test::FakeBoardResolver(fake), {true, false, false, false});
    EXPECT_TRUE(lib.BoardControlOn());
}

} // namespace
} // namespace station
