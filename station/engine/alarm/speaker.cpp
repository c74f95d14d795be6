#include "speaker.h"

#include <algorithm>
#include <conio.h>

namespace station {
namespace {

constexpr std::uint16_t kSpeakerControl = 0x61; // bit 0 timer-2 gate, bit 1 speaker enable
constexpr std::uint16_t kTimerMode = 0x43;
constexpr std::uint16_t kTimer2 = 0x42;
constexpr std::uint8_t kTimer2SquareWave = 0xB6; // channel 2, low then high byte, mode 3
constexpr std::uint32_t kTimerClock = 1190000;

} // namespace

void PortOut(std::uint16_t port, std::uint8_t value) {
    _outp(port, value);
}

std::uint8_t PortIn(std::uint16_t port) {
    return static_cast<std::uint8_t>(_inp(port));
}

void SpeakerOn(std::uint32_t frequency) {
    if (frequency == 0) {
        return;
    }
    const std::uint32_t divisor = std::clamp<std::uint32_t>(kTimerClock / frequency, 1, 0xFFFF);
    PortOut(kSpeakerControl, static_cast<std::uint8_t>(PortIn(kSpeakerControl) | 3));
    PortOut(kTimerMode, kTimer2SquareWave);
    PortOut(kTimer2, static_cast<std::uint8_t>(divisor & 0xFF));
    PortOut(kTimer2, static_cast<std::uint8_t>(divisor >> 8));
}

void SpeakerOff() {
    PortOut(kSpeakerControl, static_cast<std::uint8_t>(PortIn(kSpeakerControl) & 0xFC));
}

} // namespace station
