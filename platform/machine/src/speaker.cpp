#include "speaker.h"

namespace machine {

std::uint8_t Speaker::in(std::uint16_t port) const {
    return port == 0x61 ? std::uint8_t(port61_ & 3) : 0;
}

void Speaker::update(bool was, std::uint32_t now, bool new_divisor) {
    const bool is = sounding();
    if (was && (!is || new_divisor) && !tones_.empty() && tones_.back().sounding) {
        tones_.back().sounding = false;
        tones_.back().stop_tick = now;
    }
    if (is && (!was || new_divisor)) {
        tones_.push_back(Tone{now, 0, divisor_, true});
    }
}

void Speaker::out(std::uint16_t port, std::uint8_t value, std::uint32_t now) {
    const bool was = sounding();
    switch (port) {
    case 0x61:
        port61_ = value & 3;
        update(was, now, false);
        break;
    case 0x43:
        if (value == 0xB6) { // channel 2, low then high byte, square wave, binary
            mode_set_ = true;
            high_next_ = false;
        }
        break;
    case 0x42:
        if (!mode_set_) {
            break;
        }
        if (!high_next_) {
            low_ = value;
            high_next_ = true;
        } else {
            high_next_ = false;
            const std::uint32_t d = std::uint32_t(low_) | std::uint32_t(value) << 8;
            divisor_ = d == 0 ? 65536 : d;
            update(was, now, true);
        }
        break;
    default:
        break;
    }
}

void Speaker::clear_tones() {
    if (!tones_.empty() && tones_.back().sounding) {
        const Tone t = tones_.back();
        tones_.clear();
        tones_.push_back(t);
    } else {
        tones_.clear();
    }
}

} // namespace machine
