#include "alarm_sound.h"

#include "platform/paths.h"
#include "base/program_dir.h"
#include "speaker.h"

#include <string>

namespace station {
namespace {

constexpr std::int32_t kSpeakerSteps = 3;
constexpr std::uint32_t kSpeakerBaseTone = 2000;

} // namespace

std::filesystem::path SoundFilePath(const BaseState& base, std::string_view sound_file) {
    if (!sound_file.empty() && (sound_file.front() == '/' || sound_file.front() == '\\')) {
        return platform::resolve_path(sound_file);
    }
    return ProgramFile(base, sound_file);
}

void AlarmSound::Reset() {
    SoundSlot = 1;
    SpeakerBusy = 0;
    SpeakerStep = 0;
    WavPlaying = 0;
}

void AlarmSound::clear_request(CameraSlots& slots) {
    if (SoundSlot < 1 || SoundSlot > kSlotCount) {
        return;
    }
    if (CameraAlarmFields* w = slots.Window(SoundSlot)) {
        w->SoundRequest = 0;
    }
}

void AlarmSound::SoundTimerTimer(TimerSwitch& timer, CameraSlots& slots, MediaPlayer& player) {
    timer.SetEnabled(false);
    if (ScheduleCheck) {
        ScheduleCheck();
    }
    if (SpeakerBusy != 0) {
        if (SpeakerStep < kSpeakerSteps) {
            SpeakerOn(static_cast<std::uint32_t>(SpeakerStep) * kSpeakerBaseTone);
            ++SpeakerStep;
        } else {
            SpeakerOff();
            clear_request(slots);
            SpeakerBusy = 0;
        }
    }
    if (SpeakerBusy == 0 && WavPlaying == 0) {
        scan(slots, player);
    }
    timer.SetEnabled(true);
}

void AlarmSound::scan(CameraSlots& slots, MediaPlayer& player) {
    const std::int32_t first = (SoundSlot >= 1 && SoundSlot <= kSlotCount) ? SoundSlot : 1;
    for (std::int32_t s = first; s <= kSlotCount; ++s) {
        CameraAlarmFields* w = slots.Window(s);
        if (w == nullptr || w->SoundRequest == 0) {
            continue;
        }
        SoundSlot = s;
        if (w->UseSound == 0) {
            continue;
        }
        if (w->UseSpeaker != 0) {
            SpeakerStep = 1;
            SpeakerOn(kSpeakerBaseTone);
            SpeakerBusy = 1;
            return;
        }
        // A file that is missing, cannot be opened or cannot be played is passed over; its
        // request stays set.
        const std::filesystem::path file = SoundFilePath(base_, w->SoundFile);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec) || !player.Open(file) ||
            !player.CanPlay()) {
            continue;
        }
        WavPlaying = 1;
        player.Play(w->QualitySound != 0);
        return;
    }
    SoundSlot = 1;
}

void AlarmSound::MediaPlayer1Notify(CameraSlots& slots) {
    WavPlaying = 0;
    clear_request(slots);
}

} // namespace station
