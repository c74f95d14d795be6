// The record of everything the model caught, for tests to assert on.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "machine/types.h"

namespace machine {

class FaultLog {
public:
    void record(FaultKind kind, int chip, std::uint64_t field, std::uint32_t instruction,
                PhysAddr address, std::string detail);
    const std::vector<Fault>& list() const { return list_; }
    std::size_t count() const { return total_; }
    std::size_t count(FaultKind kind) const;
    void clear();

private:
    static constexpr std::size_t kKeep = 10000; // entries kept; counts go on
    std::vector<Fault> list_;
    std::map<FaultKind, std::size_t> counts_;
    std::size_t total_ = 0;
};

} // namespace machine
