#include "board_fixture.h"

#include <climits>
#include <functional>

namespace station {
namespace {

using test::BoardTest;

TEST_F(BoardTest, DeviceBytesAndAddressesFollowTheBoardMap) {
    const HrdMapTable moved{1, 2, 1, 3, 2, 1, 2, 2};
    const struct {
        const char* what;
        HrdMapTable map;
        std::function<void(BoardControl&)> action;
        Calls calls;
    } cases[] = {
        {"capture multiplexer, chip 3, camera 5",
         kHrdMapDefaults,
         [](BoardControl& b) {
             b.CaptureMuxWanted[2] = 5;
             b.SwitchCaptureMux(false, 3);
         },
         {C("I2CHWWrite2", {0x4C, 36, 0}), C("I2CHWRead", {0x4D, 0})}},
        {"monitor output 2, camera 16",
         kHrdMapDefaults,
         [](BoardControl& b) {
             b.MonitorMuxWanted[1] = 16;
             b.MonitorMuxSent[1] = 1;
             b.SwitchMonitorMux(2);
         },
         {C("I2CHWWrite2", {0x4C, 0x40 + 16 + 15, 0}), C("I2CHWRead", {0x4D, 0})}},
        {"camera level of chip 2",
         kHrdMapDefaults,
         [](BoardControl& b) { b.WriteCameraLevel(40, 2); },
         {C("I2CHWWrite3", {0x48, 0xF1, 40, 0})}},
        {"relay byte",
         kHrdMapDefaults,
         [](BoardControl& b) {
             b.RelayByte = 0x5A;
             b.WriteRelayOutputs();
         },
         {C("I2CHWWrite2", {0x42, 0x5A, 3})}},
        {"sensor bytes",
         kHrdMapDefaults,
         [](BoardControl& b) { b.ReadSensorInputs(); },
         {C("I2CHWRead", {0x45, 3}), C("I2CHWRead", {0x47, 3})}},
        {"multiplexer on board 2",
         moved,
         [](BoardControl& b) {
             b.CaptureMuxWanted[0] = 1;
             b.SwitchCaptureMux(false, 1);
         },
         {C("I2CHWWrite2", {0x4C, 0, 1}), C("I2CHWRead", {0x4D, 1})}},
        {"DAC on board 3 for chip 4",
         moved,
         [](BoardControl& b) { b.WriteCameraLevel(63, 4); },
         {C("I2CHWWrite3", {0x48, 0xF3, 63, 2})}},
        {"relays at the second address on board 2",
         moved,
         [](BoardControl& b) {
             b.RelayByte = 0;
             b.WriteRelayOutputs();
         },
         {C("I2CHWWrite2", {0x72, 0, 1})}},
        {"sensors at the second address on board 1",
         moved,
         [](BoardControl& b) { b.ReadSensorInputs(); },
         {C("I2CHWRead", {0x75, 0}), C("I2CHWRead", {0x77, 0})}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        map_ = c.map;
        fake_.ClearCalls();
        BoardControl board(lib_, present_, map_);
        board.Settings.Delay = 0;
        c.action(board);
        EXPECT_EQ(fake_.calls, c.calls);
    }
}

TEST_F(BoardTest, OutOfRangeMapEntriesAbsentChipsAndBadCamerasReachNoDevice) {
    const struct {
        const char* what;
        HrdMapTable map;
        std::array<bool, 4> present;
        std::uint8_t camera;
    } cases[] = {
        {"address indexes 0", {0, 1, 0, 1, 0, 4, 0, 4}, {true, true, true, true}, 1},
        {"address indexes past the tables", {2, 1, 2, 1, 3, 4, 3, 4}, {true, true, true, true}, 1},
        {"boards 0", {1, 0, 1, 0, 1, 0, 1, 0}, {true, true, true, true}, 1},
        {"boards 5 and below 0",
         {1, 5, 1, INT_MIN, 1, -1, 1, INT_MAX},
         {true, true, true, true},
         1},
        {"boards of absent chips", kHrdMapDefaults, {false, true, true, false}, 1},
        {"camera 0", kHrdMapDefaults, {true, true, true, true}, 0},
        {"camera 17", kHrdMapDefaults, {true, true, true, true}, 17},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        map_ = c.map;
        present_ = c.present;
        fake_.ClearCalls();
        BoardControl board(lib_, present_, map_);
        board.Settings.Delay = 0;
        board.CaptureMuxWanted.fill(c.camera);
        board.MonitorMuxWanted.fill(c.camera);
        board.SwitchCaptureMux(false, 1);
        board.SwitchMonitorMux(1);
        if (c.camera == 1) {
            board.WriteCameraLevel(30, 1);
            board.RelayByte = 7;
            board.WriteRelayOutputs();
            board.ReadSensorInputs();
        }
        EXPECT_EQ(fake_.calls, Calls{});
        EXPECT_EQ(board.Counters.I2CFailTotals, (std::array<std::uint64_t, 4>{}));
        EXPECT_EQ(board.SensorWord, -1);
        EXPECT_EQ(board.CaptureMuxSent[0], 16);
    }
    // Out-of-range chips and monitors are ignored too.
    map_ = kHrdMapDefaults;
    present_.fill(true);
    board_.SwitchCaptureMux(true, 0);
    board_.SwitchCaptureMux(true, 5);
    board_.SwitchMonitorMux(0);
    board_.SwitchMonitorMux(5);
    board_.WriteCameraLevel(3, 5);
    EXPECT_EQ(fake_.calls, Calls{});
}

TEST_F(BoardTest, TriesAreAutoRepeatPlusOneAndAtLeastOne) {
    const struct {
        std::int32_t auto_repeat;
        std::size_t failures;
        std::size_t tries;
        bool ok;
    } cases[] = {
        {0, 100, 1, false}, {-7, 100, 1, false}, {INT_MIN, 100, 1, false},
        {2, 100, 3, false}, {2, 2, 3, true},     {INT_MAX, 5, 6, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.auto_repeat);
        fake_.ClearCalls();
        fake_.i2c_results.assign(c.failures, 1);
        BoardControl board(lib_, present_, map_);
        board.Settings.Delay = 0;
        board.Settings.AutoRepeat = c.auto_repeat;
        board.RelayByte = 0x0F;
        board.WriteRelayOutputs();
        EXPECT_EQ(
            std::count(fake_.calls.begin(), fake_.calls.end(), C("I2CHWWrite2", {0x42, 15, 3})),
            static_cast<long>(c.tries));
        EXPECT_EQ(board.Counters.I2CFailTotals[kRelayDevices], c.ok ? 0u : 1u);
        fake_.i2c_results.clear();
    }
}

TEST_F(BoardTest, ErrorCodesAreCountedByKindAndCapped) {
    board_.Settings.AutoRepeat = 5;
    fake_.i2c_default = 1;
    fake_.error_codes = {1, 8, 9, 0, -3, 3};
    board_.RelayByte = 1;
    board_.WriteRelayOutputs();
    EXPECT_EQ(board_.Counters.I2CErrorCounts[kRelayDevices],
              (std::array<std::uint64_t, 9>{1, 0, 1, 0, 0, 0, 0, 4, 0}));
    EXPECT_EQ(board_.Counters.I2CFailTotals, (std::array<std::uint64_t, 4>{0, 0, 0, 1}));
    // Each try reads its code right after the failed write.
    ASSERT_GE(fake_.calls.size(), 2u);
    EXPECT_EQ(fake_.calls[1], C("I2CGetLastError", {3}));

    // The DAC's counters are its own; every counter stops at 1,000,000.
    board_.Settings.AutoRepeat = 0;
    fake_.error_default = 2;
    board_.Counters.I2CErrorCounts[kDacDevice][1] = kCounterLimit - 1;
    board_.Counters.I2CFailTotals[kDacDevice] = kCounterLimit - 1;
    board_.WriteCameraLevel(10, 1);
    board_.WriteCameraLevel(11, 1);
    board_.WriteCameraLevel(12, 1);
    EXPECT_EQ(board_.Counters.I2CErrorCounts[kDacDevice][1], kCounterLimit);
    EXPECT_EQ(board_.Counters.I2CFailTotals[kDacDevice], kCounterLimit);
    EXPECT_EQ(board_.Counters.I2CErrorCounts[kRelayDevices][1], 0u);

    board_.Counters.Clear();
    EXPECT_EQ(board_.Counters.I2CFailTotals[kDacDevice], 0u);
}

TEST_F(BoardTest, MultiplexerReadBack) {
    const struct {
        const char* what;
        std::int32_t check;
        std::deque<LONG> results;
        std::deque<BYTE> read_bytes;
        SHORT code;
        Calls calls;
        std::array<std::uint64_t, 9> errors;
    } cases[] = {
        {"no check: never read back", 0, {}, {}, 1, {C("I2CHWWrite2", {0x4C, 4, 0})}, {}},
        {"equal byte",
         1,
         {},
         {},
         1,
         {C("I2CHWWrite2", {0x4C, 4, 0}), C("I2CHWRead", {0x4D, 0})},
         {}},
        {"differing byte counts entry 9 and tries again",
         1,
         {},
         {0x05},
         1,
         {C("I2CHWWrite2", {0x4C, 4, 0}), C("I2CHWRead", {0x4D, 0}), C("I2CHWWrite2", {0x4C, 4, 0}),
          C("I2CHWRead", {0x4D, 0})},
         {0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"failed read counts its code",
         1,
         {0, 1},
         {},
         4,
         {C("I2CHWWrite2", {0x4C, 4, 0}), C("I2CHWRead", {0x4D, 0}), C("I2CGetLastError", {0}),
          C("I2CHWWrite2", {0x4C, 4, 0}), C("I2CHWRead", {0x4D, 0})},
         {0, 0, 0, 1, 0, 0, 0, 0, 0}},
        {"failed write is not read back",
         1,
         {1},
         {},
         2,
         {C("I2CHWWrite2", {0x4C, 4, 0}), C("I2CGetLastError", {0}), C("I2CHWWrite2", {0x4C, 4, 0}),
          C("I2CHWRead", {0x4D, 0})},
         {0, 2 - 1, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake_.ClearCalls();
        fake_.last_written.clear();
        fake_.i2c_results = c.results;
        fake_.read_bytes = c.read_bytes;
        fake_.error_default = c.code;
        BoardControl board(lib_, present_, map_);
        board.Settings.Delay = 0;
        board.Settings.UseCheckComm = c.check;
        board.CaptureMuxWanted[0] = 5;
        board.SwitchCaptureMux(false, 1);
        EXPECT_EQ(fake_.calls, c.calls);
        EXPECT_EQ(board.Counters.I2CErrorCounts[kMuxDevices], c.errors);
        EXPECT_EQ(board.CaptureMuxSent[0], 5);
        EXPECT_EQ(board.Counters.I2CFailTotals[kMuxDevices], 0u);

        // Sent now: the same camera again writes nothing.
        fake_.ClearCalls();
        board.SwitchCaptureMux(false, 1);
        EXPECT_EQ(fake_.calls, Calls{});
    }
}

TEST_F(BoardTest, ReadBackEntryStaysZeroForTheOtherKinds) {
    board_.Settings.AutoRepeat = 0;
    fake_.i2c_default = 1;
    fake_.error_default = 9;
    board_.WriteCameraLevel(5, 1);
    board_.RelayByte = 3;
    board_.WriteRelayOutputs();
    board_.ReadSensorInputs();
    for (int kind : {kDacDevice, kSensorDevices, kRelayDevices}) {
        EXPECT_EQ(board_.Counters.I2CErrorCounts[static_cast<std::size_t>(kind)][8], 0u);
        EXPECT_GT(board_.Counters.I2CErrorCounts[static_cast<std::size_t>(kind)][7], 0u);
    }
}

TEST_F(BoardTest, PacingKeepsWritesOnOneBoardMoreThanDelayApart) {
    const auto relay_ticks = [&](std::int32_t delay) {
        fake_.ClearCalls();
        board_.Settings.Delay = delay;
        board_.RelayByte = 1;
        board_.WriteRelayOutputs();
        board_.RelayByte = 2;
        board_.WriteRelayOutputs();
        return fake_.ticks;
    };
    const std::uint32_t start = platform::clock::now();
    auto t = relay_ticks(1);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_GE(t[0] - start, 2u);
    EXPECT_GE(t[1] - t[0], 2u);

    t = relay_ticks(0);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0], t[1]);

    // A stored tick above the clock (wrapped) is first set to the clock.
    const std::uint32_t now = platform::clock::now();
    board_.I2CLastTick[3] = now + 100000;
    t = relay_ticks(5);
    EXPECT_GE(t[0] - now, 6u);
    EXPECT_LT(t[0] - now, 100u);
    EXPECT_EQ(board_.I2CLastTick[3], t[1]);
}

TEST_F(BoardTest, CommReadyWaitEndsWhenReadyOrAfterDelay) {
    board_.Settings.UseCommReady = 1;
    board_.Settings.Delay = 3;
    fake_.gpdata_bits = 1; // never ready
    board_.CaptureMuxWanted[0] = 2;
    board_.SwitchCaptureMux(false, 1);
    ASSERT_GE(fake_.calls.size(), 3u);
    EXPECT_EQ(fake_.calls[0], C("I2CHWWrite2", {0x4C, 1, 0}));
    EXPECT_EQ(fake_.calls[1], C("GetGPDATABits", {8, 8, 0, 0}));
    EXPECT_EQ(fake_.calls.back(), C("I2CHWRead", {0x4D, 0}));
    EXPECT_GT(fake_.ticks.back() - fake_.ticks[0], 3u);

    fake_.ClearCalls();
    fake_.gpdata_bits = 0;
    board_.CaptureMuxWanted[0] = 3;
    board_.SwitchCaptureMux(false, 1);
    EXPECT_EQ(fake_.calls, (Calls{C("I2CHWWrite2", {0x4C, 2, 0}), C("GetGPDATABits", {8, 8, 0, 0}),
                                  C("I2CHWRead", {0x4D, 0})}));
    EXPECT_EQ(fake_.ticks[0], fake_.ticks[2]);
}

TEST_F(BoardTest, BusResetOnTheHundredAndFirstFailedMultiplexerTransaction) {
    present_ = {true, false, true, true};
    board_.Settings.AutoRepeat = 0;
    fake_.i2c_default = 1;
    const auto fail_one = [&](int i) {
        if (i % 2 == 0) {
            board_.CaptureMuxWanted[0] = static_cast<std::uint8_t>(1 + i % 16);
            board_.SwitchCaptureMux(false, 1);
        } else {
            board_.MonitorMuxWanted[3] = static_cast<std::uint8_t>(1 + i % 15);
            board_.SwitchMonitorMux(4);
        }
    };
    for (int i = 0; i < 100; ++i) {
        fail_one(i);
    }
    EXPECT_EQ(board_.Counters.MuxFailSinceReset, 100u);
    EXPECT_EQ(board_.Counters.BusResetCount, 0u);
    EXPECT_EQ(std::count_if(fake_.calls.begin(), fake_.calls.end(),
                            [](const std::string& s) { return s.starts_with("SetGPDATABits"); }),
              0);

    fake_.ClearCalls();
    fail_one(100);
    const Calls tail(fake_.calls.end() - 6, fake_.calls.end());
    EXPECT_EQ(tail,
              (Calls{C("SetGPDATABits", {9, 9, 0, 0, 0}), C("SetGPDATABits", {9, 9, 1, 0, 0}),
                     C("SetGPDATABits", {9, 9, 0, 0, 2}), C("SetGPDATABits", {9, 9, 1, 0, 2}),
                     C("SetGPDATABits", {9, 9, 0, 0, 3}), C("SetGPDATABits", {9, 9, 1, 0, 3})}));
    const std::size_t low = fake_.calls.size() - 6;
    EXPECT_GE(fake_.ticks[low + 1] - fake_.ticks[low], 1u);
    EXPECT_EQ(board_.Counters.BusResetCount, 1u);
    EXPECT_EQ(board_.Counters.MuxFailSinceReset, 0u);
    EXPECT_EQ(board_.Counters.I2CFailTotals[kMuxDevices], 101u);

    // A success does not clear the count of failures since the reset.
    fail_one(101);
    fake_.i2c_default = 0;
    board_.CaptureMuxWanted[0] = 9;
    board_.SwitchCaptureMux(false, 1);
    EXPECT_EQ(board_.CaptureMuxSent[0], 9);
    EXPECT_EQ(board_.Counters.MuxFailSinceReset, 1u);
    EXPECT_EQ(board_.Counters.BusResetCount, 1u);
}

TEST_F(BoardTest, CaptureSwitchStopsAndRestartsTheDmaWhateverTheWrite) {
    const struct {
        const char* what;
        std::uint8_t wanted;
        LONG result;
        std::size_t i2c_calls;
    } cases[] = {
        {"written", 7, 0, 2},
        {"skipped: already sent", 16, 0, 0},
        {"failed", 7, 1, 2}, // one write with its error code
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fake_.ClearCalls();
        fake_.i2c_default = c.result;
        BoardControl board(lib_, present_, map_);
        board.Settings.Delay = 0;
        board.Settings.AutoRepeat = 0;
        board.CaptureMuxWanted[1] = c.wanted;
        board.SwitchCaptureMux(true, 2);
        ASSERT_EQ(fake_.calls.size(), c.i2c_calls + 2);
        EXPECT_EQ(fake_.calls.front(), C("TarvoRiscStop", {0, 0, 1}));
        EXPECT_EQ(fake_.calls.back(), C("TarvoRiscStart", {1}));
    }
}

TEST_F(BoardTest, CameraLevelIsNotRewrittenForTheSameLevel) {
    board_.Settings.AutoRepeat = 0;
    fake_.i2c_default = 1;
    board_.WriteCameraLevel(20, 1);
    EXPECT_EQ(board_.DacLevelSent[0], 20);
    board_.WriteCameraLevel(20, 1);
    EXPECT_EQ(fake_.calls,
              (Calls{C("I2CHWWrite3", {0x48, 0xF0, 20, 0}), C("I2CGetLastError", {0})}));
    fake_.i2c_default = 0;
    board_.WriteCameraLevel(21, 1);
    EXPECT_EQ(fake_.calls.back(), C("I2CHWWrite3", {0x48, 0xF0, 21, 0}));

    // With board control off the level still counts as sent.
    BoardLibrary off;
    BoardControl unbound(off, present_, map_);
    unbound.WriteCameraLevel(33, 2);
    EXPECT_EQ(unbound.DacLevelSent[1], 33);
}

TEST_F(BoardTest, SensorWordHighBitAndFailedReadsKeepTheirByte) {
    board_.Settings.AutoRepeat = 1;
    fake_.read_bytes = {0x34, 0x92};
    board_.ReadSensorInputs();
    EXPECT_EQ(board_.SensorWord, static_cast<std::int16_t>(0x9234));
    EXPECT_LT(board_.SensorWord, 0);

    // The high byte fails both tries: it stays 0x92.
    fake_.i2c_results = {0, 1, 1};
    fake_.read_bytes = {0x01};
    board_.ReadSensorInputs();
    EXPECT_EQ(board_.SensorWord, static_cast<std::int16_t>(0x9201));
    EXPECT_EQ(board_.Counters.I2CFailTotals[kSensorDevices], 1u);

    // The low byte fails, the high byte succeeds on its second try.
    fake_.i2c_results = {1, 1, 1, 0};
    fake_.read_bytes = {0x05};
    board_.ReadSensorInputs();
    EXPECT_EQ(board_.SensorWord, 0x0501);
}

TEST_F(BoardTest, RelayBitsFromTheWindowsAlarmOutputs) {
    struct W {
        int slot;
        std::uint8_t use;
        std::int32_t pin;
        std::int32_t state;
        std::uint8_t active;
    };
    const struct {
        const char* what;
        std::vector<W> windows;
        std::uint8_t byte;
    } cases[] = {
        {"two windows at level 1, one active", {{1, 1, 3, 1, 0}, {5, 1, 3, 1, 1}}, 0xAE},
        {"two windows at level 1, both idle", {{1, 1, 2, 1, 0}, {5, 1, 2, 1, 0}}, 0xA8},
        {"level 0 active", {{2, 1, 1, 0, 1}}, 0xAA},
        {"level 0 idle", {{2, 1, 1, 0, 0}}, 0xAB},
        {"the first active window's level",
         {{1, 1, 7, 0, 0}, {2, 1, 7, 1, 1}, {3, 1, 7, 0, 1}},
         0xEA},
        {"none active: the last window's level", {{1, 1, 8, 1, 0}, {9, 1, 8, 0, 0}}, 0xAA},
        {"none active, last at level 1", {{1, 1, 8, 0, 0}, {9, 1, 8, 1, 0}}, 0x2A},
        {"output not used", {{4, 0, 1, 0, 0}, {6, 0, 2, 1, 1}}, 0xAA},
        {"a level other than 0 and 1", {{4, 1, 4, 2, 1}}, 0xAA},
        {"slot 32, output 5", {{32, 1, 5, 1, 1}}, 0xBA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeSlots slots;
        for (const W& w : c.windows) {
            CameraAlarmFields f;
            f.UseOutput = w.use;
            f.OutputPin = w.pin;
            f.OutputState = w.state;
            f.OutputActive = w.active;
            slots.windows[static_cast<std::size_t>(w.slot - 1)] = f;
        }
        board_.RelayByte = 0xAA;
        board_.RelayByteSent = 0xAA;
        fake_.ClearCalls();
        board_.UpdateRelayOutputs(slots);
        EXPECT_EQ(board_.RelayByte, c.byte);
        EXPECT_EQ(fake_.calls,
                  c.byte == 0xAA ? Calls{} : Calls{C("I2CHWWrite2", {0x42, c.byte, 3})});
    }
}

TEST_F(BoardTest, AllRelaysOffIsWrittenEvenWhenAlreadySent) {
    board_.RelayByte = 255;
    board_.RelayByteSent = 255;
    board_.WriteAllRelaysOff();
    EXPECT_EQ(fake_.calls, Calls{C("I2CHWWrite2", {0x42, 255, 3})});
    EXPECT_EQ(board_.RelayByteSent, 255);
}

TEST_F(BoardTest, DecoderSetUpRoutines) {
    fake_.decoder[1][0x2C] = 0x55;
    fake_.decoder[1][0xAC] = 0xD5;
    board_.SetLumaNotch(2, true);
    EXPECT_EQ(fake_.decoder[1][0x2C], 0xD5);
    EXPECT_EQ(fake_.decoder[1][0xAC], 0xD5);
    board_.SetLumaNotch(2, false);
    EXPECT_EQ(fake_.decoder[1][0x2C], 0x55);
    EXPECT_EQ(fake_.decoder[1][0xAC], 0x55);
    EXPECT_EQ(Calls(fake_.calls.begin(), fake_.calls.begin() + 4),
              (Calls{C("ReadDecoder", {0x2C, 1}), C("ReadDecoder", {0xAC, 1}),
                     C("WriteDecoder", {0x2C, 0xD5, 1}), C("WriteDecoder", {0xAC, 0xD5, 1})}));

    fake_.ClearCalls();
    board_.SetVerticalFilter(3);
    board_.SetScalingLoop(3);
    board_.SetAdcRegister(3);
    EXPECT_EQ(fake_.calls,
              (Calls{C("WriteDecoder", {0x6C, 1, 2}), C("WriteDecoder", {0xEC, 1, 2}),
                     C("WriteDecoder", {0x40, 0x20, 2}), C("WriteDecoder", {0xC0, 0x20, 2}),
                     C("WriteDecoder", {0x68, 0x92, 2})}));

    // An absent chip gets only the notch.
    present_[3] = false;
    fake_.ClearCalls();
    board_.SetVerticalFilter(4);
    board_.SetScalingLoop(4);
    board_.SetAdcRegister(4);
    EXPECT_EQ(fake_.calls, Calls{});
    board_.SetLumaNotch(4, false);
    EXPECT_EQ(fake_.calls.size(), 4u);
}

TEST_F(BoardTest, NothingReachesTheLibraryWhileBoardControlIsOff) {
    BoardLibrary off;
    off.Bind(test::FakeBoardResolver(fake_, "GetGPINTC"), {true, true, true, true});
    ASSERT_FALSE(off.BoardControlOn());
    fake_.ClearCalls();
    BoardControl board(off, present_, map_);
    test::FakeSlots slots;
    CameraAlarmFields f;
    f.UseOutput = 1;
    slots.windows[0] = f;
    board.CaptureMuxWanted[0] = 3;
    board.SwitchCaptureMux(true, 1);
    board.SwitchMonitorMux(1);
    board.WriteCameraLevel(9, 1);
    board.UpdateRelayOutputs(slots);
    board.WriteAllRelaysOff();
    board.ReadSensorInputs();
    EXPECT_FALSE(board.WaitCommReady(1));
    board.SetVerticalFilter(1);
    board.SetLumaNotch(1, true);
    board.SetScalingLoop(1);
    board.SetAdcRegister(1);
    EXPECT_EQ(fake_.calls, Calls{});
    EXPECT_EQ(board.SensorWord, -1);
}

} // namespace
} // namespace station
