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

// The same result without the quadratic cost. Points that share few distinct coordinates (as
// the rectangles of the settings dialog place them) are counted in a table of prefix sums over
// those coordinates, in O(1) per point; any other set by a window sliding over x that keeps the
// count of its points per row, read directly for a small box and through a tree of those counts
// (O(log 1000) per point) for a large one. Requires 0 <= count <= kMaxDetectionPoints and
// coordinates 0 to 999. Holds its working memory (about 200 KB, so keep it on the heap; the windows
// of one thread may share one), so a search allocates nothing.
class ObjectSearch {
public:
    enum class Method { None, Table, Sweep };

    std::int32_t Run(const std::int32_t* xs, const std::int32_t* ys, std::int32_t count,
                     std::int32_t objectPoints, std::int32_t objectSize);

    // How the last Run counted (None when it needed no counting).
    Method LastMethod() const { return method_; }

private:
    static constexpr int kAxis = 1000;          // per-mille positions 0 to 999
    static constexpr int kTableCells = 1 << 15; // largest prefix-sum table
    static constexpr int kNarrowRows = 64;      // boxes this high sum their rows directly
    static constexpr int kRowPad = kNarrowRows; // zero rows before and after the picture

    std::int32_t RunTable(const std::int32_t* xs, const std::int32_t* ys, std::int32_t count,
                          std::int32_t objectPoints, int half);
    std::int32_t RunSweep(const std::int32_t* xs, const std::int32_t* ys, std::int32_t count,
                          std::int32_t objectPoints, int half);

    void TreeAdd(int y, std::int32_t delta);
    std::int32_t TreePrefix(int y) const; // points in the tree with y' <= y

    Method method_ = Method::None;
    // Distinct coordinates below each position: below[v] = how many distinct values are < v.
    std::array<std::int32_t, kAxis + 1> belowX_{};
    std::array<std::int32_t, kAxis + 1> belowY_{};
    std::array<std::int32_t, kTableCells> table_{};
    // Points of column x: byColumn_[columnStart_[x]] up to byColumn_[columnStart_[x + 1]].
    std::array<std::int32_t, kAxis + 1> columnStart_{};
    std::array<std::uint16_t, kMaxDetectionPoints> byColumn_{};
    std::array<std::int32_t, kRowPad + kAxis + kRowPad> rowCount_{};
    std::array<std::int32_t, kAxis + 1> tree_{};
    std::array<std::int32_t, kMaxDetectionPoints> neighbours_{};
};

} // namespace station
