#include "alarm/alarm_sound.h"

#include "base/tests/program_dir_fixture.h"
#include "board/tests/board_fixture.h"
#include "platform/ports.h"
#include "alarm/speaker.h"

#include <conio.h>

namespace station {
namespace {

// The speaker's ports: 0x61 reads back what was written; every write is kept.
class SpeakerPorts : public platform::PortHandler {
public:
    void out(std::uint16_t port, std::uint8_t value) override {
        writes.emplace_back(port, value);
        if (port == 0x61) {
            control = value;
        }
    }
    std::uint8_t in(std::uint16_t port) override { return port == 0x61 ? control : 0; }

    // The speaker actions written since the last call: "on <divisor>" and "off", comma-joined.
    std::string drain() {
        std::string s;
        const auto add = [&](const std::string& e) { s += (s.empty() ? "" : ",") + e; };
        for (std::size_t i = 0; i < writes.size();) {
            const auto [port, value] = writes[i];
            if (port == 0x61 && (value & 3) == 3 && i + 3 < writes.size() &&
                writes[i + 1] == std::pair<std::uint16_t, std::uint8_t>{0x43, 0xB6} &&
                writes[i + 2].first == 0x42 && writes[i + 3].first == 0x42) {
                add("on " + std::to_string(writes[i + 2].second | writes[i + 3].second << 8));
                i += 4;
            } else if (port == 0x61 && (value & 3) == 0) {
                add("off");
                ++i;
            } else {
                add("port " + std::to_string(port));
                ++i;
            }
        }
        writes.clear();
        return s;
    }

    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    std::uint8_t control = 0x30; // bits the speaker routines must keep
};

class FakePlayer : public MediaPlayer {
public:
    bool Open(const std::filesystem::path& file) override {
        log.push_back("open " + file.filename().string());
        return open_ok;
    }
    bool CanPlay() const override { return can_play; }
    void Play(bool wait) override { log.push_back(wait ? "play wait" : "play"); }

    bool open_ok = true;
    bool can_play = true;
    std::vector<std::string> log;
};

class FakeTimer : public TimerSwitch {
public:
    void SetEnabled(bool enabled) override { states.push_back(enabled); }
    std::vector<bool> states;
};

class AlarmSoundTest : public test::ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        platform::set_port_handler(&ports_);
    }
    void TearDown() override {
        platform::set_port_handler(nullptr);
        ProgramDirTest::TearDown();
    }

    CameraAlarmFields& window(int slot, std::uint8_t use_sound, std::uint8_t speaker,
                              std::string file = "test.wav") {
        CameraAlarmFields f;
        f.SoundRequest = 1;
        f.UseSound = use_sound;
        f.UseSpeaker = speaker;
        f.SoundFile = std::move(file);
        auto& w = slots_.windows[static_cast<std::size_t>(slot - 1)];
        w = f;
        return *w;
    }
    std::uint8_t request(int slot) { return slots_.Window(slot)->SoundRequest; }
    // One timer tick; answers the speaker actions it made.
    std::string tick() {
        sound_.SoundTimerTimer(timer_, slots_, player_);
        return ports_.drain();
    }

    SpeakerPorts ports_;
    test::FakeSlots slots_;
    FakePlayer player_;
    FakeTimer timer_;
    AlarmSound sound_{base_};
};

TEST_F(AlarmSoundTest, SpeakerPortSequences) {
    const struct {
        std::uint32_t frequency;
        std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
    } cases[] = {
        {2000, {{0x61, 0x33}, {0x43, 0xB6}, {0x42, 0x53}, {0x42, 0x02}}},
        {4000, {{0x61, 0x33}, {0x43, 0xB6}, {0x42, 0x29}, {0x42, 0x01}}},
        {250, {{0x61, 0x33}, {0x43, 0xB6}, {0x42, 0x98}, {0x42, 0x12}}},
        {10, {{0x61, 0x33}, {0x43, 0xB6}, {0x42, 0xFF}, {0x42, 0xFF}}}, // held at 16 bits
        {0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frequency);
        ports_.control = 0x30;
        ports_.writes.clear();
        SpeakerOn(c.frequency);
        EXPECT_EQ(ports_.writes, c.writes);
    }
    ports_.writes.clear();
    ports_.control = 0xB3;
    SpeakerOff();
    EXPECT_EQ(ports_.writes, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x61, 0xB0}}));
}

TEST_F(AlarmSoundTest, PortAccessWithoutAHandlerIsRefused) {
    platform::set_port_handler(nullptr);
    const std::uint64_t before = platform::refused_port_accesses();
    EXPECT_EQ(PortIn(0x61), 0xFF);
    EXPECT_EQ(_outp(0x42, 0x1234), 0x1234);
    SpeakerOff();
    EXPECT_EQ(platform::refused_port_accesses() - before, 4u);
    platform::set_port_handler(&ports_);
    EXPECT_EQ(ports_.writes.size(), 0u);
}

TEST_F(AlarmSoundTest, SpeakerTonesServeTheLowerSlotFirst) {
    window(7, 1, 1);
    window(3, 1, 1);
    EXPECT_EQ(tick(), "on 595");
    EXPECT_EQ(sound_.SoundSlot, 3);
    EXPECT_EQ(tick(), "on 595");
    EXPECT_EQ(tick(), "on 297");
    EXPECT_EQ(request(3), 1);
    EXPECT_EQ(tick(), "off,on 595"); // slot 3 done, slot 7 starts at once
    EXPECT_EQ(request(3), 0);
    EXPECT_EQ(sound_.SoundSlot, 7);
    EXPECT_EQ(tick(), "on 595");
    EXPECT_EQ(tick(), "on 297");
    EXPECT_EQ(tick(), "off");
    EXPECT_EQ(request(7), 0);
    EXPECT_EQ(sound_.SoundSlot, 1);
    EXPECT_EQ(tick(), "");
    EXPECT_EQ(sound_.SpeakerBusy, 0);
}

TEST_F(AlarmSoundTest, AWindowWithoutSoundNeverSoundsAndKeepsItsRequest) {
    window(1, 0, 1);
    window(2, 1, 1);
    EXPECT_EQ(tick(), "on 595");
    EXPECT_EQ(sound_.SoundSlot, 2);
    for (int i = 0; i < 3; ++i) {
        tick();
    }
    EXPECT_EQ(request(2), 0);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tick(), "");
    }
    EXPECT_EQ(request(1), 1);
    EXPECT_EQ(sound_.SoundSlot, 1);
}

TEST_F(AlarmSoundTest, WavPlaysUntilThePlayerNotifies) {
    write("alarm.wav", {0});
    window(2, 1, 0, "alarm.wav").QualitySound = 1;
    window(4, 1, 1);
    EXPECT_EQ(tick(), "");
    EXPECT_EQ(player_.log, (std::vector<std::string>{"open alarm.wav", "play wait"}));
    EXPECT_EQ(sound_.WavPlaying, 1);
    EXPECT_EQ(tick(), ""); // the other window waits while the file plays
    EXPECT_EQ(request(2), 1);

    sound_.MediaPlayer1Notify(slots_);
    EXPECT_EQ(sound_.WavPlaying, 0);
    EXPECT_EQ(request(2), 0);
    EXPECT_EQ(request(4), 1);
    EXPECT_EQ(tick(), "on 595");
    EXPECT_EQ(sound_.SoundSlot, 4);
}

TEST_F(AlarmSoundTest, AFileThatCannotBePlayedIsPassedOverLikeAMissingOne) {
    write("bad.wav", {0});
    const struct {
        const char* what;
        const char* file;
        bool open_ok;
        bool can_play;
        std::vector<std::string> log;
    } cases[] = {
        {"missing file", "absent.wav", true, true, {}},
        {"player cannot open it", "bad.wav", false, true, {"open bad.wav"}},
        {"player cannot play it", "bad.wav", true, false, {"open bad.wav"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        slots_.windows = {};
        sound_.Reset();
        player_.log.clear();
        player_.open_ok = c.open_ok;
        player_.can_play = c.can_play;
        timer_.states.clear();
        window(1, 1, 0, c.file);
        window(5, 1, 1);
        EXPECT_EQ(tick(), "on 595");
        EXPECT_EQ(player_.log, c.log);
        EXPECT_EQ(sound_.WavPlaying, 0);
        EXPECT_EQ(sound_.SoundSlot, 5);
        EXPECT_EQ(request(1), 1);
        EXPECT_EQ(timer_.states, (std::vector<bool>{false, true}));
        sound_.SpeakerBusy = 0;
        ports_.drain();
    }
}

TEST_F(AlarmSoundTest, EveryTickRunsTheScheduleWithTheTimerOffAndTurnsItBackOn) {
    std::vector<bool> timer_during_schedule;
    sound_.ScheduleCheck = [&] { timer_during_schedule.push_back(timer_.states.back()); };
    window(1, 1, 1);
    for (int i = 0; i < 5; ++i) {
        tick();
    }
    EXPECT_EQ(timer_during_schedule, std::vector<bool>(5, false));
    EXPECT_EQ(timer_.states,
              (std::vector<bool>{false, true, false, true, false, true, false, true, false, true}));
}

TEST_F(AlarmSoundTest, SoundFilesLieInTheProgramFolderUnlessGivenWithAPath) {
    EXPECT_EQ(SoundFilePath(base_, "test.wav"), path("test.wav"));
    write("Alarm.WAV", {0});
    EXPECT_EQ(SoundFilePath(base_, "alarm.wav"), path("Alarm.WAV"));
    EXPECT_EQ(SoundFilePath(base_, (dir_ / "x.wav").string()), dir_ / "x.wav");
}

} // namespace
} // namespace station
