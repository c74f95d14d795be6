// Runs a fuzz target without a fuzzing engine: over every file of the seed folders (or files)
// named on the command line, over the empty input, and over deterministic pseudo-random
// mutations of each seed. The time spent on mutations is bounded, so the run stays short
// in sanitizer builds too.
// Usage: <target> [--mutations N] [--seconds S] <seed folder or file>...
#include "fuzz_target.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// xorshift64*: the same mutations on every run.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed | 1) {}
    std::uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    std::size_t below(std::size_t n) { return n ? std::size_t(next() % n) : 0; }

private:
    std::uint64_t state_;
};

// Values that tend to sit on the edge of a length, count or index check.
constexpr std::uint32_t kEdgeValues[] = {
    0,       1,          2,          0x7F,       0x80, 0xFF, 0x100, 0x7FFF, 0x8000, 0xFFFF,
    0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 57,   96,   8008,  40,     1000,   1001};

void mutate(Bytes& b, Random& rng) {
    const int steps = 1 + int(rng.below(4));
    for (int s = 0; s < steps; ++s) {
        switch (rng.below(7)) {
        case 0: // flip a bit
            if (!b.empty()) {
                b[rng.below(b.size())] ^= std::uint8_t(1u << rng.below(8));
            }
            break;
        case 1: // a random byte
            if (!b.empty()) {
                b[rng.below(b.size())] = std::uint8_t(rng.next());
            }
            break;
        case 2: { // an edge value, little-endian, 1 to 4 bytes (or 8 with the sign spread)
            if (b.empty()) {
                break;
            }
            const std::uint32_t v = kEdgeValues[rng.below(std::size(kEdgeValues))];
            const std::size_t width = std::size_t(1) << rng.below(4);
            const std::size_t at = rng.below(b.size());
            for (std::size_t i = 0; i < width && at + i < b.size(); ++i) {
                b[at + i] = i < 4 ? std::uint8_t(v >> (8 * i)) : ((v >> 31) ? 0xFF : 0);
            }
            break;
        }
        case 3: // cut the end
            b.resize(rng.below(b.size() + 1));
            break;
        case 4: { // remove a range
            if (b.empty()) {
                break;
            }
            const std::size_t at = rng.below(b.size());
            const std::size_t n = 1 + rng.below(std::min<std::size_t>(b.size() - at, 64));
            b.erase(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + n));
            break;
        }
        case 5: { // insert random bytes
            const std::size_t at = rng.below(b.size() + 1);
            const std::size_t n = 1 + rng.below(16);
            Bytes extra(n);
            for (auto& x : extra) {
                x = std::uint8_t(rng.next());
            }
            b.insert(b.begin() + std::ptrdiff_t(at), extra.begin(), extra.end());
            break;
        }
        default: { // repeat a range
            if (b.empty() || b.size() > (1u << 20)) {
                break;
            }
            const std::size_t at = rng.below(b.size());
            const std::size_t n = 1 + rng.below(std::min<std::size_t>(b.size() - at, 256));
            const Bytes copy(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + n));
            b.insert(b.begin() + std::ptrdiff_t(at), copy.begin(), copy.end());
            break;
        }
        }
    }
}

Bytes read_all(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

void run(const Bytes& b) {
    LLVMFuzzerTestOneInput(b.data(), b.size());
}

} // namespace

int main(int argc, char** argv) {
    long mutations = 300;
    double seconds = 4.0;
    std::vector<std::filesystem::path> seeds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mutations" && i + 1 < argc) {
            mutations = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::strtod(argv[++i], nullptr);
        } else if (std::filesystem::is_directory(arg)) {
            for (const auto& e : std::filesystem::directory_iterator(arg)) {
                if (e.is_regular_file()) {
                    seeds.push_back(e.path());
                }
            }
        } else if (std::filesystem::is_regular_file(arg)) {
            seeds.emplace_back(arg);
        } else {
            std::fprintf(stderr, "no such seed folder or file: %s\n", arg.c_str());
            return 2;
        }
    }
    std::sort(seeds.begin(), seeds.end());
    if (seeds.empty()) {
        std::fprintf(stderr, "no seeds\n");
        return 2;
    }

    run({});
    std::vector<Bytes> inputs;
    for (const auto& p : seeds) {
        inputs.push_back(read_all(p));
        run(inputs.back());
    }
    // Mutations go round the seeds, so a short time budget still reaches every one.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
    Random rng(0x746F6C6D66757A7AULL);
    long done = 0;
    for (long m = 0; m < mutations; ++m) {
        for (const Bytes& seed : inputs) {
            Bytes b = seed;
            mutate(b, rng);
            run(b);
            ++done;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            break;
        }
    }
    std::printf("%zu seeds, %ld mutated inputs\n", inputs.size(), done);
    return 0;
}
