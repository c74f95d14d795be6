#include "detector/detector_object.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace station {
namespace {

struct Points {
    std::vector<std::int32_t> x;
    std::vector<std::int32_t> y;
    void Add(int px, int py) {
        x.push_back(px);
        y.push_back(py);
    }
    std::int32_t Size() const { return static_cast<std::int32_t>(x.size()); }
};

std::int32_t Fast(ObjectSearch& search, const Points& p, int objectPoints, int objectSize) {
    return search.Run(p.x.data(), p.y.data(), p.Size(), objectPoints, objectSize);
}

std::int32_t Direct(const Points& p, int objectPoints, int objectSize) {
    return FindObjectDirect(p.x.data(), p.y.data(), p.Size(), objectPoints, objectSize);
}

TEST(ObjectSearch, FirstPointReachingTheCountWins) {
    Points p;
    p.Add(10, 10);   // 0: alone
    p.Add(500, 500); // 1: with 2, 3 and 4 inside the box of half 27
    p.Add(527, 500); // 2: at the box edge (inclusive)
    p.Add(473, 473); // 3: corner of the box
    p.Add(500, 527); // 4
    p.Add(528, 528); // 5: outside 1's box, inside 2's and 4's
    p.Add(0, 999);   // 6: borders
    p.Add(999, 0);   // 7
    p.Add(999, 0);   // 8: a duplicate of 7
    struct {
        int objectPoints, objectSize, winner;
    } cases[] = {
        {1, 55, 0},                   // every point counts itself
        {0, 55, 0},     {-4, -10, 0}, // nothing needed: even a negative box wins
        {2, 55, 1},                   // 0 is alone; 1 has company
        {4, 55, 1},                   // 1 counts 2, 3, 4 and itself
        {5, 55, -1},                  // no box holds five
        {5, 57, 1},                   // half 28 takes 5 into 1's box
        {2, 53, 7},                   // half 26: 1 has nobody left; the duplicates remain
        {2, 1, 7},                    // half 0: only the duplicate pair
        {2, -3, -1},                  // a negative box holds nothing
        {9, 1998, 0},                 // half 999: every point near every other
        {9, 1996, 0},                 // half 998: only the opposite corners are apart
        {10, 5000, -1},               // more than there are
    };
    auto search = std::make_unique<ObjectSearch>();
    for (const auto& c : cases) {
        EXPECT_EQ(Direct(p, c.objectPoints, c.objectSize), c.winner)
            << c.objectPoints << "/" << c.objectSize;
        EXPECT_EQ(Fast(*search, p, c.objectPoints, c.objectSize), c.winner)
            << c.objectPoints << "/" << c.objectSize;
    }
    EXPECT_EQ(Fast(*search, Points{}, 0, 55), -1);

    Points corners;
    corners.Add(0, 999);
    corners.Add(999, 0);
    for (const auto& [objectSize, winner] : {std::pair{1998, 0}, std::pair{1996, -1}}) {
        EXPECT_EQ(Direct(corners, 2, objectSize), winner) << objectSize;
        EXPECT_EQ(Fast(*search, corners, 2, objectSize), winner) << objectSize;
    }
}

// Neighbour counts by brute force.
std::vector<int> Counts(const Points& p, int half) {
    std::vector<int> counts(p.x.size(), 0);
    for (std::size_t i = 0; i < p.x.size(); ++i) {
        for (std::size_t k = 0; k < p.x.size(); ++k) {
            counts[i] += std::abs(p.x[i] - p.x[k]) <= half && std::abs(p.y[i] - p.y[k]) <= half;
        }
    }
    return counts;
}

TEST(ObjectSearch, CountsAtThePictureBorderAreExact) {
    // Probes at and around one box height from each border, then points piled on the borders,
    // then (for the sweep) scattered points with distinct coordinates. With a probe first,
    // asking for its own count and one more makes the search answer on exactly that count.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> perMille(0, 999);
    auto search = std::make_unique<ObjectSearch>();
    for (const int half : {10, 40}) { // rows summed directly / through the tree
        for (const bool scattered : {false, true}) {
            Points p;
            for (const int d : {0, 1, half - 1, half, half + 1, half + 2}) {
                p.Add(500, d);
                p.Add(500, 999 - d);
                p.Add(d, 500);
                p.Add(999 - d, 500);
            }
            const int probes = p.Size();
            for (int k = 0; k < 3; ++k) {
                p.Add(500, 0);
                p.Add(500, 999);
                p.Add(0, 500);
                p.Add(999, 500);
            }
            for (int k = 0; scattered && k < 600; ++k) {
                p.Add(perMille(rng), perMille(rng));
            }
            const std::vector<int> counts = Counts(p, half);
            for (int i = 0; i < probes; ++i) {
                // The probe goes first, so nothing before it can answer instead.
                Points q = p;
                std::vector<int> c = counts;
                std::swap(q.x[0], q.x[i]);
                std::swap(q.y[0], q.y[i]);
                std::swap(c[0], c[i]);
                for (const int objectPoints : {c[0], c[0] + 1}) {
                    const auto k =
                        std::find_if(c.begin(), c.end(), [&](int n) { return n >= objectPoints; });
                    const int expected = k == c.end() ? -1 : static_cast<int>(k - c.begin());
                    ASSERT_EQ(Fast(*search, q, objectPoints, 2 * half), expected)
                        << "half " << half << (scattered ? " scattered" : "") << ", probe " << i;
                    ASSERT_EQ(search->LastMethod(), scattered ? ObjectSearch::Method::Sweep
                                                              : ObjectSearch::Method::Table);
                }
            }
        }
    }
}

TEST(ObjectSearch, FastSearchMatchesTheDirectOneOnRandomPoints) {
    std::mt19937 rng(20261210);
    auto search = std::make_unique<ObjectSearch>();
    auto uniform = [&](int low, int high) { return std::uniform_int_distribution(low, high)(rng); };
    int found = 0;
    int missed = 0;
    std::map<ObjectSearch::Method, int> methods;
    for (int trial = 0; trial < 400; ++trial) {
        const int count =
            trial < 4 ? kMaxDetectionPoints : uniform(1, trial % 10 == 0 ? 3000 : 300);
        // Points scattered, or in a few clusters of random spread, as changes tend to be; a
        // cluster at the picture's border piles points onto the first or last row or column.
        // Every fifth set lies on a lattice, as rectangles of points do.
        Points p;
        const int lattice = trial % 5 == 0 ? uniform(5, 40) : 1;
        const int clusters = uniform(0, 4);
        const int spread = uniform(1, 120);
        std::vector<std::pair<int, int>> centres;
        const auto coordinate = [&] {
            return uniform(0, 2) == 0 ? 999 * uniform(0, 1) : uniform(0, 999);
        };
        for (int c = 0; c < clusters; ++c) {
            centres.emplace_back(coordinate(), coordinate());
        }
        for (int i = 0; i < count; ++i) {
            int x = uniform(0, 999);
            int y = uniform(0, 999);
            if (!centres.empty() && uniform(0, 3) != 0) {
                const auto [cx, cy] = centres[static_cast<std::size_t>(uniform(0, clusters - 1))];
                x = std::clamp(cx + uniform(-spread, spread), 0, 999);
                y = std::clamp(cy + uniform(-spread, spread), 0, 999);
            }
            p.Add(x / lattice * lattice, y / lattice * lattice);
        }
        int objectSize = uniform(0, 300);
        if (trial % 25 == 7) {
            objectSize = uniform(-4, 2100);
        } else if (trial % 25 == 8) {
            objectSize = uniform(1970, 2000); // half near the whole picture
        }
        // Several thresholds on the same points: random ones, and the neighbour count of a
        // random point and one more, which put the winner right at a count's boundary.
        const int probe = uniform(0, count - 1);
        const int half = objectSize / 2;
        int probeCount = 0;
        for (int k = 0; k < count; ++k) {
            probeCount +=
                std::abs(p.x[probe] - p.x[k]) <= half && std::abs(p.y[probe] - p.y[k]) <= half;
        }
        for (int round = 0; round < 4; ++round) {
            int objectPoints = round < 2 ? uniform(-1, 40) : probeCount + round - 2;
            if (trial < 4 && round < 2) {
                objectPoints = count / (trial + 2 + round);
            }
            const std::int32_t direct = Direct(p, objectPoints, objectSize);
            ASSERT_EQ(Fast(*search, p, objectPoints, objectSize), direct)
                << "trial " << trial << ": " << count << " points, " << objectPoints << "/"
                << objectSize;
            (direct >= 0 ? found : missed)++;
            methods[search->LastMethod()]++;
        }
    }
    // The trials must exercise both outcomes and both ways of counting.
    EXPECT_GT(found, 50);
    EXPECT_GT(missed, 50);
    EXPECT_GT(methods[ObjectSearch::Method::Table], 100);
    EXPECT_GT(methods[ObjectSearch::Method::Sweep], 100);
}

} // namespace
} // namespace station
