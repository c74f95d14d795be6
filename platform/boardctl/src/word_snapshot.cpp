#include "word_snapshot.h"

#include <utility>

namespace boardctl {

WordSnapshot::WordSnapshot(std::uint32_t address_step, std::vector<bool> watched)
    : step_(address_step), watched_(std::move(watched)) {}

void WordSnapshot::take(std::span<const std::uint32_t> words) {
    words_.assign(words.begin(), words.end());
    taken_ = true;
}

void WordSnapshot::update(std::size_t index, std::uint32_t value) {
    if (taken_ && index < words_.size()) {
        words_[index] = value;
    }
}

std::size_t WordSnapshot::compare(std::span<const std::uint32_t> words,
                                  std::span<WordDifference> out) {
    if (!taken_ || words.size() != words_.size()) {
        return 0;
    }
    std::size_t n = 0;
    for (std::size_t i = 0; i < words.size() && n < out.size(); ++i) {
        if (i < watched_.size() && !watched_[i]) {
            continue;
        }
        if (words[i] != words_[i]) {
            out[n++] = {static_cast<std::uint32_t>(i) * step_, words_[i], words[i]};
            words_[i] = words[i];
        }
    }
    return n;
}

} // namespace boardctl
