#include "ui/common/media_player.h"

#include "platform/clock.h"
#include "temp_dir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

namespace {

// A 16-bit mono PCM file of `ms` milliseconds at 8000 Hz.
std::vector<std::uint8_t> pcm_wav(std::uint32_t ms) {
    const std::uint32_t data = 8000 * 2 * ms / 1000;
    std::vector<std::uint8_t> b;
    const auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(t[i]));
    };
    const auto u32 = [&](std::uint32_t v) {
        for (int s = 0; s < 32; s += 8)
            b.push_back(static_cast<std::uint8_t>(v >> s));
    };
    const auto u16 = [&](std::uint16_t v) {
        b.push_back(static_cast<std::uint8_t>(v));
        b.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    tag("RIFF");
    u32(36 + data);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    tag("data");
    u32(data);
    b.resize(b.size() + data);
    return b;
}

class MediaPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        player_.SetNotify([this] { ++notified_; });
    }

    std::filesystem::path write(const char* name, const std::vector<std::uint8_t>& bytes) {
        const auto p = dir_ / name;
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    // Runs events until the end notification arrives, for at most 3 s.
    bool wait_for_notify() {
        QElapsedTimer t;
        t.start();
        while (notified_ == 0 && t.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return notified_ == 1;
    }

    tolm_test::TempDir temp_{"tolm-player"};
    std::filesystem::path dir_ = temp_.path();
    TMediaPlayer player_;
    int notified_ = 0;
};

TEST_F(MediaPlayerTest, FilesThatCannotBePlayed) {
    EXPECT_FALSE(player_.Open(dir_ / "missing.wav"));
    EXPECT_FALSE(player_.CanPlay());
    EXPECT_TRUE(player_.Open(write("text.wav", {'h', 'e', 'l', 'l', 'o'})));
    EXPECT_FALSE(player_.CanPlay());
    player_.Play(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(notified_, 0);
}

TEST_F(MediaPlayerTest, ReportsTheEndAfterTheFilesDuration) {
    ASSERT_TRUE(player_.Open(write("beep.wav", pcm_wav(60))));
    ASSERT_TRUE(player_.CanPlay());
    EXPECT_EQ(player_.Length(), 60u);
    QElapsedTimer t;
    t.start();
    player_.Play(false);
    EXPECT_EQ(notified_, 0);
    ASSERT_TRUE(wait_for_notify());
    EXPECT_GE(t.elapsed(), 55);
}

TEST_F(MediaPlayerTest, WaitingPlayHoldsTheCallerForTheDurationAndNotifiesLater) {
    ASSERT_TRUE(player_.Open(write("long.wav", pcm_wav(1500))));
    platform::clock::use_manual(5000);
    player_.Play(true);
    EXPECT_EQ(platform::clock::now(), 6500u);
    EXPECT_EQ(notified_, 0);
    EXPECT_TRUE(wait_for_notify());
    platform::clock::use_real();
}

} // namespace
