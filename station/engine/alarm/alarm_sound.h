// The alarm sound: a 100 ms timer serves the camera windows' sound requests one window at a
// time, round-robin over the 32 window slots, as a two-tone sequence on the PC speaker
// (2000 Hz for two ticks, 4000 Hz for one) or by playing the window's WAV file through the
// main form's media player. A request is cleared when its sound has ended.
#pragma once

#include "camera_alarm_fields.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>

namespace station {

struct BaseState;

// The main form's media-player component.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    // Takes `file` as the file name and opens it; false when it cannot be opened.
    virtual bool Open(const std::filesystem::path& file) = 0;
    // The opened file can be played.
    virtual bool CanPlay() const = 0;
    // Plays the opened file with its end notification on; with `wait` it returns only at the end
    // of the file. The notification arrives later as a message (MediaPlayer1Notify).
    virtual void Play(bool wait) = 0;
};

// The enable switch of the timer that runs SoundTimerTimer.
class TimerSwitch {
public:
    virtual ~TimerSwitch() = default;
    virtual void SetEnabled(bool enabled) = 0;
};

// A window's sound file: a name without a folder, or a relative one, lies in the program folder.
std::filesystem::path SoundFilePath(const BaseState& base, std::string_view sound_file);

class AlarmSound {
public:
    // `base`: the program folder of the sound files.
    explicit AlarmSound(const BaseState& base) : base_(base) {}

    std::int32_t SoundSlot = 1; // 1..32
    std::uint8_t SpeakerBusy = 0;
    std::int32_t SpeakerStep = 0;
    std::uint8_t WavPlaying = 0;

    // The configuration schedule's check, run first on every tick when set.
    std::function<void()> ScheduleCheck;

    // Idle, the scan starting at slot 1.
    void Reset();

    // The sound timer's handler. The timer is off while it runs and always on again after it.
    void SoundTimerTimer(TimerSwitch& timer, CameraSlots& slots, MediaPlayer& player);
    // The player's end of play: the request of the window that played is cleared.
    void MediaPlayer1Notify(CameraSlots& slots);

private:
    const BaseState& base_;

    void clear_request(CameraSlots& slots);
    // Starts the sound of the first requesting window from SoundSlot on.
    void scan(CameraSlots& slots, MediaPlayer& player);
};

} // namespace station
