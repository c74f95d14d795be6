// A write cut at each of its changes (a process that ends there, large writes left half done)
// leaves an archive that the readers and the next write accept: at worst the frame being
// written is missing.
#include "archive_fixture.h"

#include <algorithm>

namespace archive::test {
namespace {

class CutWrites : public ArchiveTest, public ::testing::WithParamInterface<bool> {
protected:
    // Points the archive (program folder and directories 1 and 2) at a copy below `root`.
    void use_root(const Path& root) {
        program = root / "Prog";
        ctx.program_dir = program.string();
        ctx.settings.dirs[0] = program.string();
        ctx.settings.dirs[1] = (root / "D2").string();
    }

    Path copy_of_base(const char* name) {
        const Path to = tmp.path() / name;
        std::filesystem::remove_all(to);
        std::filesystem::copy(base, to, std::filesystem::copy_options::recursive);
        use_root(to);
        return to;
    }

    Path base;
    CuttingIo io;
};

bool increasing(const std::vector<int>& ids) {
    std::vector<int> read;
    std::copy_if(ids.begin(), ids.end(), std::back_inserter(read), [](int i) { return i >= 0; });
    return std::adjacent_find(read.begin(), read.end(), std::greater_equal<int>()) == read.end();
}

TEST_P(CutWrites, EveryCutLeavesAnArchiveTheNextWriteMends) {
    ctx.settings.cyclic = GetParam();
    ctx.io = &io;
    allow_record_tails = true;
    ctx.group_limit = 3 * 1206;
    use_filling_disk(7 * 1206);
    base = tmp.path() / "base";
    std::filesystem::create_directories(base / "Prog");
    const int frames = ctx.settings.cyclic ? 40 : 18;
    int cuts = 0;
    for (int n = 0; n < frames; ++n) {
        // The uncut write and the next one: what must survive.
        copy_of_base("ref");
        io.cut_at = -1;
        io.changes = 0;
        const auto result_n = write(n);
        const int changes = io.changes;
        const auto result_next = write(n + 1);
        const auto reference = read_all();

        for (int k = 0; k < changes; ++k) {
            SCOPED_TRACE("frame " + std::to_string(n) + " cut at change " + std::to_string(k));
            copy_of_base("cut");
            io.cut_at = k;
            io.changes = 0;
            EXPECT_THROW(write(n), Cut);
            io.cut_at = -1;
            ++cuts;

            // Readers accept the cut archive: what they find is right and in order.
            EXPECT_TRUE(increasing(read_all()));

            // The next write works and mends the counts.
            EXPECT_EQ(write(n + 1), result_next);
            expect_invariants();
            const auto ids = read_all();
            EXPECT_EQ(std::count(ids.begin(), ids.end(), -1), 0);
            EXPECT_TRUE(increasing(ids));
            // Every frame the uncut writes keep is still there.
            for (int id : reference) {
                if (id != n) {
                    EXPECT_TRUE(std::count(ids.begin(), ids.end(), id)) << "lost frame " << id;
                }
            }
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
        use_root(base);
        ASSERT_EQ(write(n), result_n);
    }
    EXPECT_GT(cuts, frames * 5);
}

INSTANTIATE_TEST_SUITE_P(Layouts, CutWrites, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "cyclic" : "linear"; });

} // namespace
} // namespace archive::test
