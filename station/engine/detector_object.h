// The detector's object search: the first changed point, in point order, that has at least
// `objectPoints` changed points (itself included) within `objectSize` div 2 per mille on both
// axes. Both searches return the index of that point, or -1 when there is none.
#pragma once

#include "detection_fields.h"

#include <array>
#include <cstdint>

namespace station {

// The search as defined: every point against every other, stopping at the first winner.
// Quadratic in `count`; kept as the reference the fast search is checked against.
std::int32_t FindObjectDirect(const std::int32_t* xs, const std::int32_t* ys, std::int32_t count,
                              std::int32_t objectPoints, std::int32_t objectSize);

// The same result in O(count log 1000): a sweep over x with a tree of counts over y gives every
// point its neighbour count, then the first point reaching `objectPoints` wins. Requires
// 0 <= count <= kMaxDetectionPoints and coordinates 0 to 999. Holds its working memory, so a
// search allocates nothing.
class ObjectSearch {
public:
    std::int32_t Run(const std::int32_t* xs, const std::int32_t* ys, std::int32_t count,
                     std::int32_t objectPoints, std::int32_t objectSize);

private:
    static constexpr int kAxis = 1000; // per-mille positions 0 to 999

    void TreeAdd(int y);
    std::int32_t TreePrefix(int y) const; // points inserted with y' <= y
    std::int32_t CountInRows(int y, int half) const;

    std::array<std::int32_t, kAxis + 1>
        columnStart_{}; // points of column x: [start[x], start[x+1])
    std::array<std::uint16_t, kMaxDetectionPoints> byColumn_{};
    std::array<std::int32_t, kAxis + 1> tree_{};
    std::array<std::int32_t, kMaxDetectionPoints> neighbours_{};
    const std::int32_t* ys_ = nullptr;
};

} // namespace station
