// The platform clock on manual time for one scope: it starts at `start` ms and moves only when
// the test advances it; the real clock is back at the end.
#pragma once

#include <cstdint>

namespace tolm_test {

class ScopedManualClock {
public:
    explicit ScopedManualClock(std::uint32_t start);
    ~ScopedManualClock();
    ScopedManualClock(const ScopedManualClock&) = delete;
    ScopedManualClock& operator=(const ScopedManualClock&) = delete;

    void advance(std::uint32_t ms) const;
    std::uint32_t now() const;
};

} // namespace tolm_test
