// What board control and the alarm sound read and clear in the camera windows of the 32 window
// slots. The camera window keeps these fields; the main form answers for its slots.
#pragma once

#include "base/limits.h"

#include <cstdint>
#include <string>

namespace station {

struct CameraAlarmFields {
    // Relay output driven on alarm.
    std::uint8_t UseOutput = 0;
    std::int32_t OutputPin = 1;   // relay output 1..8
    std::int32_t OutputState = 1; // relay level during an alarm (1 or 0)
    std::uint8_t OutputActive = 0;
    // Alarm sound.
    std::uint8_t SoundRequest = 0;
    std::uint8_t UseSound = 0;
    std::uint8_t UseSpeaker = 0; // 1 the PC speaker, 0 the sound file
    std::string SoundFile = "test.wav";
    std::uint8_t QualitySound = 0; // the player's wait flag
};

class CameraSlots {
public:
    virtual ~CameraSlots() = default;
    // The window of slot `slot` (1..32) when the slot is used and has a window, else null.
    virtual CameraAlarmFields* Window(int slot) = 0;
};

} // namespace station
