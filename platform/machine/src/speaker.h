// The PC speaker: port 0x61 (gate and enable), the timer's mode port 0x43 and channel 2 divisor
// port 0x42. Records every tone with its start and stop tick.
#pragma once

#include <cstdint>
#include <vector>

#include "machine/machine.h"

namespace machine {

class Speaker {
public:
    std::uint8_t in(std::uint16_t port) const;
    void out(std::uint16_t port, std::uint8_t value, std::uint32_t now);
    const std::vector<Tone>& tones() const { return tones_; }
    void clear_tones();
    static bool handles(std::uint16_t port) { return port == 0x42 || port == 0x43 || port == 0x61; }

private:
    bool sounding() const { return (port61_ & 3) == 3 && divisor_ != 0; }
    void update(bool was, std::uint32_t now, bool new_divisor);

    std::uint8_t port61_ = 0;
    bool mode_set_ = false;
    bool high_next_ = false;
    std::uint8_t low_ = 0;
    std::uint32_t divisor_ = 0;
    std::vector<Tone> tones_;
};

} // namespace machine
