#include "manual_clock.h"

#include "platform/clock.h"

namespace tolm_test {

ScopedManualClock::ScopedManualClock(std::uint32_t start) {
    platform::clock::use_manual(start);
}

ScopedManualClock::~ScopedManualClock() {
    platform::clock::use_real();
}

void ScopedManualClock::advance(std::uint32_t ms) const {
    platform::clock::advance(ms);
}

std::uint32_t ScopedManualClock::now() const {
    return platform::clock::now();
}

} // namespace tolm_test
