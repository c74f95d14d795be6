#include "base/program_dir.h"

#include "program_dir_fixture.h"

namespace station {
namespace {

TEST(ProgramDir, DefaultsToTheFolderOfTheProgramFile) {
    BaseState base_;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(base_.ProgramDir, exe.parent_path().string());
    SetProgramDir(base_, "/some/where//");
    EXPECT_EQ(base_.ProgramDir, "/some/where");
}

class ProgramFiles : public test::ProgramDirTest {};

TEST_F(ProgramFiles, ReadAndReplaceByName) {
    EXPECT_FALSE(ReadProgramFile(base_, "a.pdt").has_value());
    ASSERT_TRUE(ReplaceProgramFile(base_, "a.pdt", {1, 2, 3}));
    EXPECT_EQ(ReadProgramFile(base_, "A.PDT"), (std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_TRUE(ReplaceProgramFile(base_, "A.pdt", {}));
    EXPECT_EQ(ReadProgramFile(base_, "a.pdt"), std::vector<std::uint8_t>{});
    EXPECT_TRUE(std::filesystem::exists(path("a.pdt")));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "A.pdt")) << "the existing name keeps its case";
    EXPECT_FALSE(std::filesystem::exists(path("a.pdt.tmp")));
}

} // namespace
} // namespace station
