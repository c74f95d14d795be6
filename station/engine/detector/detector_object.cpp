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

void ObjectSearch::TreeAdd(int y, std::int32_t delta) {
    for (int i = y + 1; i <= kAxis; i += i & -i) {
        tree_[i] += delta;
    }
}

std::int32_t ObjectSearch::TreePrefix(int y) const {
    std::int32_t sum = 0;
    for (int i = y + 1; i > 0; i -= i & -i) {
        sum += tree_[i];
    }
    return sum;
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

    // Slide a window of the columns x - half to x + half over the picture, keeping the number
    // of its points on each row; the points of column x then count the rows y - half to
    // y + half of the window. A narrow box sums those rows directly, a wider one asks a tree of
    // the row counts.
    const int height = 2 * half + 1;
    const bool narrow = height <= kNarrowRows;
    rowCount_.fill(0);
    if (!narrow) {
        tree_.fill(0);
    }
    const auto move = [&](int x, std::int32_t delta) {
        if (x < 0 || x >= kAxis) {
            return;
        }
        for (std::int32_t j = columnStart_[x]; j < columnStart_[x + 1]; ++j) {
            const int y = ys[byColumn_[j]];
            rowCount_[kRowPad + y] += delta;
            if (!narrow) {
                TreeAdd(y, delta);
            }
        }
    };
    for (int x = 0; x < half && x < kAxis; ++x) {
        move(x, 1);
    }
    for (int x = 0; x < kAxis; ++x) {
        move(x + half, 1);
        move(x - half - 1, -1);
        for (std::int32_t j = columnStart_[x]; j < columnStart_[x + 1]; ++j) {
            const int y = ys[byColumn_[j]];
            std::int32_t near = 0;
            if (narrow) {
                // Rows past the borders are zero padding.
                const std::int32_t* row = rowCount_.data() + kRowPad + y - half;
                std::int32_t part[4] = {0, 0, 0, 0};
                int r = 0;
                for (; r + 4 <= height; r += 4) {
                    part[0] += row[r];
                    part[1] += row[r + 1];
                    part[2] += row[r + 2];
                    part[3] += row[r + 3];
                }
                for (; r < height; ++r) {
                    part[0] += row[r];
                }
                near = part[0] + part[1] + part[2] + part[3];
            } else {
                const int low = std::max(0, y - half);
                const int high = std::min(kAxis - 1, y + half);
                near = TreePrefix(high) - (low > 0 ? TreePrefix(low - 1) : 0);
            }
            neighbours_[byColumn_[j]] = near;
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
