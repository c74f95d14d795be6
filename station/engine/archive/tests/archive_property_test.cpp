// Random write sequences in both layouts keep every invariant of the archive's files, and every
// frame still counted reads back to the picture written, oldest first.
#include "archive_fixture.h"

#include <algorithm>
#include <random>
#include <set>

namespace archive::test {
namespace {

class RandomWrites : public ArchiveTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(RandomWrites, KeepInvariantsAndPictures) {
    std::mt19937 rng(GetParam());
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    ctx.settings.cyclic = GetParam() % 2 == 1;
    ctx.settings.use_cache = pick(0, 1) == 1;
    const int dirs = pick(1, 3);
    for (int d = 2; d <= dirs; ++d) {
        set_dir(d == 2 && pick(0, 1) ? 3 : d, "Dir" + std::to_string(d)); // sometimes a gap
    }
    ctx.group_limit = pick(2000, 8000);
    use_filling_disk(pick(4000, 15000));
    SCOPED_TRACE("seed " + std::to_string(GetParam()) + " limit " +
                 std::to_string(ctx.group_limit));

    std::vector<int> kept; // linear layout: exactly the frames written since the last clear
    std::set<int> written;
    int last = -1;
    for (int id = 0; id < 70; ++id) {
        if (pick(0, 39) == 0) {
            ArchClear(ctx);
            kept.clear();
            written.clear();
            last = -1;
        }
        width = 8 * pick(1, 4);
        height = 4 * pick(1, 2);
        const auto r = write(id);
        if (ctx.settings.cyclic) {
            ASSERT_EQ(r, kWritten) << id;
        }
        if (r == kWritten) {
            kept.push_back(id);
            written.insert(id);
            last = id;
        }
        expect_invariants();
        const auto ids = read_all();
        ASSERT_TRUE(std::is_sorted(ids.begin(), ids.end()));
        ASSERT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
        ASSERT_EQ(std::count(ids.begin(), ids.end(), -1), 0);
        if (ctx.settings.cyclic) {
            for (int i : ids) {
                ASSERT_TRUE(written.count(i)) << i;
            }
            if (last >= 0) {
                ASSERT_FALSE(ids.empty());
                ASSERT_EQ(ids.back(), last);
            }
        } else {
            ASSERT_EQ(ids, kept);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomWrites, ::testing::Range(1u, 17u));

} // namespace
} // namespace archive::test
