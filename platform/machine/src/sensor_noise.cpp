#include "sensor_noise.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace machine {
namespace {

constexpr std::uint32_t kTableBytes = kNoiseOffsets + 4096;
constexpr std::uint32_t kDriftPeriodMs = 40000;

struct Tables {
    std::vector<std::int8_t> any, rgb32;
};

std::unique_ptr<Tables> make_tables(int level) {
    auto t = std::make_unique<Tables>();
    t->any.resize(kTableBytes);
    // A fixed seed: the same noise in every run. The sum of four uniform values is close to a
    // normal distribution.
    std::mt19937 random(0x5EED0000u + unsigned(level));
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const double scale = level / std::sqrt(4.0 / 3.0);
    for (std::uint32_t i = 0; i < kTableBytes; ++i) {
        const double sum = uniform(random) + uniform(random) + uniform(random) + uniform(random);
        const long v = std::lround(sum * scale);
        t->any[i] = std::int8_t(std::clamp(v, -127L, 127L));
    }
    t->rgb32 = t->any;
    for (std::uint32_t i = 3; i < kTableBytes; i += 4) {
        t->rgb32[i] = 0;
    }
    return t;
}

} // namespace

const std::int8_t* noise_table(int level, bool rgb32) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<Tables>> tables;
    std::lock_guard lock(mutex);
    auto& t = tables[level];
    if (!t) {
        t = make_tables(level);
    }
    return rgb32 ? t->rgb32.data() : t->any.data();
}

bool noise_applies(std::uint32_t code) {
    switch (code) {
    case 0:
    case 1:
    case 4:
    case 5:
    case 6:
    case 8:
    case 9:
    case 14:
        return true;
    default:
        return false;
    }
}

int drift_offset(int number, int drift, std::uint32_t now) {
    if (drift <= 0) {
        return 0;
    }
    const double phase =
        0.7 * number + 2.0 * 3.14159265358979 * (now % kDriftPeriodMs) / kDriftPeriodMs;
    return int(std::lround(drift * std::sin(phase)));
}

} // namespace machine
