// The passwords and rights dialog without widgets: rights read at show, toggled by a press and
// release in the rights column only, written byte-exact at the end; the password files, and a
// write that fails.
#include "access/password_set_model.h"
#include "program_dir_fixture.h"

#include "settings/settings_files.h"

#include <gtest/gtest.h>

namespace station {
namespace {

class PasswordSet : public test::ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
    }
    PasswordSetModel model{base_};
};

TEST_F(PasswordSet, ShowReadsTheRightsAndOnlyTheRightsColumnToggles) {
    RightsTable rights{};
    rights[2] = true;
    ASSERT_TRUE(SaveRightsFile(base_, rights));
    model.FormShow();
    EXPECT_EQ(model.Rights(), rights);

    const struct {
        int column;
        int row;
        bool toggles;
    } presses[] = {{1, 5, true}, {0, 5, false}, {1, 0, false},  {0, 0, false},
                   {1, 3, true}, {1, 20, true}, {1, 21, false}, {1, -1, false}};
    for (const auto& p : presses) {
        SCOPED_TRACE(testing::Message() << "column " << p.column << " row " << p.row);
        const RightsTable before = model.Rights();
        model.SelectCell(p.column, p.row);
        model.MouseUp();
        RightsTable expected = before;
        if (p.toggles) {
            expected[static_cast<std::size_t>(p.row - 1)] =
                !expected[static_cast<std::size_t>(p.row - 1)];
        }
        EXPECT_EQ(model.Rights(), expected);
        // A second release without a press toggles nothing.
        model.MouseUp();
        EXPECT_EQ(model.Rights(), expected);
    }
    // A press in the rights column then one in the name column of the same row: nothing.
    model.SelectCell(1, 7);
    model.SelectCell(0, 7);
    model.MouseUp();
    EXPECT_FALSE(model.Granted(7));

    ASSERT_TRUE(model.FormDestroy());
    std::vector<std::uint8_t> bytes(20, 0);
    bytes[4] = 1;                       // right 5
    bytes[19] = 1;                      // right 20
    EXPECT_EQ(read("net1.pdt"), bytes); // right 3 toggled twice
}

TEST_F(PasswordSet, MissingRightsFileAndAnUntouchedEndStillWrite) {
    model.FormShow();
    EXPECT_EQ(model.Rights(), RightsTable{});
    EXPECT_EQ(model.CellText(1, 1), base_.LangList[48]); // denied
    EXPECT_EQ(model.CellText(0, 0), base_.LangList[45]);
    EXPECT_EQ(model.CellText(0, 18), base_.LangList[271]);
    EXPECT_FALSE(model.CellText(0, 20).empty());
    ASSERT_TRUE(model.FormDestroy());
    EXPECT_EQ(read("net1.pdt"), std::vector<std::uint8_t>(20, 0));
}

TEST_F(PasswordSet, PasswordFilesByteExact) {
    ASSERT_TRUE(model.StorePassword(1, "30000"));
    ASSERT_TRUE(model.StorePassword(2, ""));
    EXPECT_EQ(read("net2.pdt"), test::Bytes().str("30000").get());
    EXPECT_EQ(read("net3.pdt"), test::Bytes().i32(0).get());
    EXPECT_EQ(LoadPasswordFile(base_, 1), "30000");

    // A file that cannot be written is reported.
    std::filesystem::remove(path("net3.pdt"));
    std::filesystem::create_directory(path("net3.pdt"));
    EXPECT_FALSE(model.StorePassword(2, "1"));
}

} // namespace
} // namespace station
