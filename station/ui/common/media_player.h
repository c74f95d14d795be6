// The main form's media player `MediaPlayer1`: plays WAV files through the sound output when
// the machine has one, and in every case reports the end of play after the file's duration
// taken from its header, so the station never waits on a device that is absent. A file that
// is not a valid WAV file can be opened but not played.
#pragma once

#include "alarm/alarm_sound.h"
#include "alarm/wav_file.h"

#include <QObject>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QSoundEffect;

class TMediaPlayer : public QObject, public station::MediaPlayer {
public:
    explicit TMediaPlayer(QObject* parent = nullptr);
    ~TMediaPlayer() override;

    // The end-of-play handler (the main form's MediaPlayer1Notify).
    void SetNotify(std::function<void()> handler) { notify_ = std::move(handler); }

    bool Open(const std::filesystem::path& file) override;
    bool CanPlay() const override { return info_.has_value(); }
    void Play(bool wait) override;

    // The opened file's play time in milliseconds (0 when it cannot be played).
    std::uint32_t Length() const { return info_ ? info_->duration_ms : 0; }
    // Whether the last Play went to a sound output.
    bool PlayedOnDevice() const { return played_on_device_; }

private:
    void ended();

    std::filesystem::path file_;
    std::optional<station::WavInfo> info_;
    QTimer end_timer_;
    std::unique_ptr<QSoundEffect> effect_;
    bool played_on_device_ = false;
    std::function<void()> notify_;
};
