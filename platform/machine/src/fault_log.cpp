#include "fault_log.h"

namespace machine {

void FaultLog::record(FaultKind kind, int chip, std::uint64_t field, std::uint32_t instruction,
                      PhysAddr address, std::string detail) {
    ++total_;
    ++counts_[kind];
    if (list_.size() < kKeep) {
        list_.push_back(Fault{kind, chip, field, instruction, address, std::move(detail)});
    }
}

std::size_t FaultLog::count(FaultKind kind) const {
    auto it = counts_.find(kind);
    return it == counts_.end() ? 0 : it->second;
}

void FaultLog::clear() {
    list_.clear();
    counts_.clear();
    total_ = 0;
}

} // namespace machine
