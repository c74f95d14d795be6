#include "alarm_sound.h"

#include "base/program_dir.h"
#include "speaker.h"

#include <win32/files.h>
#include <win32_owners/find_handle.h>

#include <string>

namespace station {
namespace {

constexpr std::int32_t kSpeakerSteps = 3;
constexpr std::uint32_t kSpeakerBaseTone = 2000;

// `path` with '/' separators and every existing component named as it was created: the file
// calls match names case-insensitively, the media player takes the exact name.
std::string stored_name(std::string_view path) {
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("/\\", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view part = path.substr(start, end - start);
        WIN32_FIND_DATAA found{};
        const bool plain = !part.empty() && part != "." && part != ".." &&
                           part.find_first_of("*?") == std::string_view::npos;
        const win32_owners::FindHandle search(
            plain ? FindFirstFileA((out + std::string(part)).c_str(), &found)
                  : INVALID_HANDLE_VALUE);
        out += search ? std::string_view(found.cFileName) : part;
        if (end < path.size()) {
            out += '/';
        }
        start = end + 1;
    }
    return out;
}

} // namespace

std::filesystem::path SoundFilePath(const BaseState& base, std::string_view sound_file) {
    if (!sound_file.empty() && (sound_file.front() == '/' || sound_file.front() == '\\')) {
        return stored_name(sound_file);
    }
    return stored_name(ProgramFile(base, sound_file));
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
        const DWORD attributes = GetFileAttributesA(file.string().c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            !player.Open(file) || !player.CanPlay()) {
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
