// The PC speaker, driven by direct port I/O (the kernel driver grants the process all ports):
// timer 2 makes the tone, port 0x61 gates it to the speaker.
#pragma once

#include <cstdint>

namespace station {

void PortOut(std::uint16_t port, std::uint8_t value);
std::uint8_t PortIn(std::uint16_t port);

// A tone of `frequency` Hz until SpeakerOff. 0 does nothing; a divisor above 16 bits (below
// 19 Hz) is held at 0xFFFF.
void SpeakerOn(std::uint32_t frequency);
void SpeakerOff();

} // namespace station
