#include "detector_object.h"

#include <algorithm>
#include <cstdlib>

namespace station {

std::int32_t FindObjectDirect(const std::int32_t* xs, const std::int32_t* ys, std::int32_t count,
                              std::int32_t objectPoints, std::int32_t objectSize) {
    const std::int64_t half = objectSize / 2;
    for (std::int32_t i = 0; i < count; ++i) {
        std::int32_t near = 0;
        for (std::int32_t k = 0; k < count; ++k) {
            if (std::llabs(static_cast<std::int64_t>(xs[i]) - xs[k]) <= half &&
                std::llabs(static_cast<std::int64_t>(ys[i]) - ys[k]) <= half) {
                ++near;
            }
        }
        if (near >= objectPoints) {
            return i;
        }
    }
    return -1;
}

void ObjectSearch::TreeAdd(int y) {
    for (int i = y + 1; i <= kAxis; i += i & -i) {
        ++tree_[i];
    }
}

std::int32_t ObjectSearch::TreePrefix(int y) const {
    std::int32_t sum = 0;
    for (int i = y + 1; i > 0; i -= i & -i) {
        sum += tree_[i];
    }
    return sum;
}

std::int32_t ObjectSearch::CountInRows(int y, int half) const {
    const int low = std::max(0, y - half);
    const int high = std::min(kAxis - 1, y + half);
    return TreePrefix(high) - (low > 0 ? TreePrefix(low - 1) : 0);
}

std::int32_t ObjectSearch::Run(const std::int32_t* xs, const std::int32_t* ys, std::int32_t count,
                               std::int32_t objectPoints, std::int32_t objectSize) {
    method_ = Method::None;
    if (count <= 0) {
        return -1;
    }
    const std::int32_t half = objectSize / 2;
    if (half < 0) {
        return objectPoints <= 0 ? 0 : -1; // no point is near anything, not even itself
    }
    if (objectPoints <= 1) {
        return 0; // every point counts itself
    }
    if (objectPoints > count) {
        return -1;
    }
    if (half >= kAxis - 1) {
        return 0; // every point is near every other: each counts `count`
    }

    // Rank the distinct coordinates of each axis.
    belowX_.fill(0);
    belowY_.fill(0);
    for (std::int32_t i = 0; i < count; ++i) {
        belowX_[xs[i] + 1] = 1;
        belowY_[ys[i] + 1] = 1;
    }
    for (int v = 0; v < kAxis; ++v) {
        belowX_[v + 1] += belowX_[v];
        belowY_[v + 1] += belowY_[v];
    }
    const std::int64_t cells = static_cast<std::int64_t>(belowX_[kAxis] + 1) * (belowY_[kAxis] + 1);
    if (cells <= kTableCells && cells <= 16 * static_cast<std::int64_t>(count) + 256) {
        method_ = Method::Table;
        return RunTable(xs, ys, count, objectPoints, half);
    }
    method_ = Method::Sweep;
    return RunSweep(xs, ys, count, objectPoints, half);
}

std::int32_t ObjectSearch::RunTable(const std::int32_t* xs, const std::int32_t* ys,
                                    std::int32_t count, std::int32_t objectPoints, int half) {
    // table[i][j]: points whose x rank is below i and y rank below j.
    const int rows = belowX_[kAxis] + 1;
    const int columns = belowY_[kAxis] + 1;
    std::fill_n(table_.begin(), rows * columns, 0);
    for (std::int32_t i = 0; i < count; ++i) {
        ++table_[(belowX_[xs[i]] + 1) * columns + belowY_[ys[i]] + 1];
    }
    for (int r = 1; r < rows; ++r) {
        std::int32_t rowSum = 0;
        for (int c = 1; c < columns; ++c) {
            rowSum += table_[r * columns + c];
            table_[r * columns + c] = table_[(r - 1) * columns + c] + rowSum;
        }
    }
    // The box of a point covers the ranks of the values from v - half to v + half.
    for (std::int32_t i = 0; i < count; ++i) {
        const int x0 = belowX_[std::max(0, xs[i] - half)];
        const int x1 = belowX_[std::min(kAxis - 1, xs[i] + half) + 1];
        const int y0 = belowY_[std::max(0, ys[i] - half)];
        const int y1 = belowY_[std::min(kAxis - 1, ys[i] + half) + 1];
        const std::int32_t near = table_[x1 * columns + y1] - table_[x0 * columns + y1] -
                                  table_[x1 * columns + y0] + table_[x0 * columns + y0];
        if (near >= objectPoints) {
            return i;
        }
    }
    return -1;
}

std::int32_t ObjectSearch::RunSweep(const std::int32_t* xs, const std::int32_t* ys,
                                    std::int32_t count, std::int32_t objectPoints, int half) {
    // Points by column (counting sort, stable).
    columnStart_.fill(0);
    for (std::int32_t i = 0; i < count; ++i) {
        ++columnStart_[xs[i] + 1];
    }
    for (int x = 0; x < kAxis; ++x) {
        columnStart_[x + 1] += columnStart_[x];
    }
    std::array<std::int32_t, kAxis> fill{};
    std::copy(columnStart_.begin(), columnStart_.end() - 1, fill.begin());
    for (std::int32_t i = 0; i < count; ++i) {
        byColumn_[fill[xs[i]]++] = static_cast<std::uint16_t>(i);
    }

    // Sweep the columns left to right, inserting each column's points into the tree. A point at
    // column x counts the tree (restricted to its rows) once the sweep has reached x + half, and
    // subtracts what the tree held when the sweep passed x - half - 1.
    tree_.fill(0);
    std::fill_n(neighbours_.begin(), count, 0);
    const auto forColumn = [this](int x, auto&& action) {
        for (std::int32_t j = columnStart_[x]; j < columnStart_[x + 1]; ++j) {
            action(byColumn_[j]);
        }
    };
    for (int x = 0; x < kAxis; ++x) {
        forColumn(x, [&](std::uint16_t i) { TreeAdd(ys[i]); });
        if (x < kAxis - 1) {
            if (x - half >= 0) {
                forColumn(x - half,
                          [&](std::uint16_t i) { neighbours_[i] += CountInRows(ys[i], half); });
            }
        } else {
            for (int c = std::max(0, kAxis - 1 - half); c < kAxis; ++c) {
                forColumn(c, [&](std::uint16_t i) { neighbours_[i] += CountInRows(ys[i], half); });
            }
        }
        if (x + half + 1 < kAxis) {
            forColumn(x + half + 1,
                      [&](std::uint16_t i) { neighbours_[i] -= CountInRows(ys[i], half); });
        }
    }

    for (std::int32_t i = 0; i < count; ++i) {
        if (neighbours_[i] >= objectPoints) {
            return i;
        }
    }
    return -1;
}

} // namespace station
