// A snapshot of register or program words and its comparison with a later reading: each
// difference is reported once, as the word's address, the value kept and the value now, and the
// snapshot takes the new value of every reported word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace boardctl {

struct WordDifference {
    std::uint32_t address;
    std::uint32_t old_value;
    std::uint32_t new_value;
};

class WordSnapshot {
public:
    // `address_step`: address distance of successive words; `watched[i]` false leaves word i out
    // of every comparison (an empty list watches every word).
    explicit WordSnapshot(std::uint32_t address_step, std::vector<bool> watched = {});

    bool taken() const { return taken_; }
    void take(std::span<const std::uint32_t> words);
    void forget() { taken_ = false; }
    // Replaces one kept word (a change the owner made itself); nothing without a snapshot.
    void update(std::size_t index, std::uint32_t value);
    // Writes up to out.size() differences in word order and answers their number; 0 without a
    // snapshot or for a reading of another length.
    std::size_t compare(std::span<const std::uint32_t> words, std::span<WordDifference> out);

private:
    std::uint32_t step_;
    std::vector<bool> watched_;
    std::vector<std::uint32_t> words_;
    bool taken_ = false;
};

} // namespace boardctl
