// The stored-configurations dialog's model: which press and release act, save and load from the
// table, the timed-load group, OK and Cancel.
#include "configuration/adj_conf_model.h"
#include "base/language.h"
#include "base/language_lines.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <vector>

namespace station {
namespace {

using Release = AdjConfModel::Release;

class AdjConf : public ::testing::Test {
protected:
    LanguageList lang;
    void SetUp() override {
        ASSERT_TRUE(lang.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        AdjConfModel::Actions actions;
        actions.Save = [this](int n) {
            saved.push_back(n);
            state.CurConf = n;
            return save_ok;
        };
        actions.Load = [this](int n) {
            loaded.push_back(n);
            loading_seen = state.ConfLoading;
            state.CurConf = n;
        };
        actions.SaveTable = [this] {
            table_writes.push_back(schedule);
            return table_ok;
        };
        model = std::make_unique<AdjConfModel>(lang, schedule, state, actions);
        model->FormShow();
    }

    ConfScheduleTable schedule{};
    ConfigurationState state;
    std::vector<int> saved;
    std::vector<int> loaded;
    std::vector<ConfScheduleTable> table_writes;
    bool save_ok = true;
    bool table_ok = true;
    bool loading_seen = false;
    std::unique_ptr<AdjConfModel> model;
};

// A release acts only after a press on the same save, load or timed-load cell.
TEST_F(AdjConf, ActsOnAPressAndReleaseOnOneCell) {
    struct Case {
        const char* what;
        bool press;
        int press_column, press_row;
        int release_column, release_row;
        Release expected;
    };
    const Case cases[] = {
        {"save cell", true, 1, 7, 1, 7, Release::AskSave},
        {"load cell", true, 2, 9, 2, 9, Release::Load},
        {"timed-load cell", true, 4, 3, 4, 3, Release::ShowTimeLoad},
        {"no press (keyboard selection)", false, 0, 0, 1, 7, Release::None},
        {"pressed on save, released on load", true, 1, 7, 2, 7, Release::None},
        {"pressed on load, released on another row", true, 2, 7, 2, 8, Release::None},
        {"pressed on the name, released on save", true, 3, 7, 1, 7, Release::None},
        {"number column", true, 0, 7, 0, 7, Release::None},
        {"header", true, 1, 0, 1, 0, Release::None},
        {"outside the grid", true, -1, -1, -1, -1, Release::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.press) {
            model->MouseDown(c.press_column, c.press_row);
            EXPECT_EQ(model->SaveHeld(c.press_row), c.press_column == 1);
            EXPECT_EQ(model->LoadHeld(c.press_row), c.press_column == 2);
        }
        EXPECT_EQ(model->MouseUp(c.release_column, c.release_row), c.expected);
        if (c.expected != Release::None) {
            EXPECT_EQ(model->Row(), c.release_row);
        }
        EXPECT_FALSE(model->SaveHeld(c.press_row));
        EXPECT_FALSE(model->LoadHeld(c.press_row));
        // A release is used up: a second one does nothing.
        EXPECT_EQ(model->MouseUp(c.release_column, c.release_row), Release::None);
    }
    EXPECT_TRUE(AdjConfModel::Selectable(3, 1));
    EXPECT_FALSE(AdjConfModel::Selectable(1, 1));
    EXPECT_FALSE(AdjConfModel::Selectable(3, 0));
}

TEST_F(AdjConf, SavesAfterOKOnlyWhileNothingChanged) {
    state.CurConf = 2;
    EXPECT_EQ(model->SaveQuestion(7), lang[kLineSaveQuestion] + " 7 ?");
    EXPECT_TRUE(model->SaveAnswered(7, false, 2));
    EXPECT_TRUE(saved.empty()) << "Cancel saves nothing";
    EXPECT_TRUE(model->SaveAnswered(7, true, 2));
    EXPECT_EQ(saved, std::vector<int>{7});
    EXPECT_TRUE(model->IsCurrent(7));
    // A load during the question: the answer no longer saves.
    EXPECT_TRUE(model->SaveAnswered(8, true, 2));
    EXPECT_EQ(saved, std::vector<int>{7});
    save_ok = false;
    EXPECT_FALSE(model->SaveAnswered(9, true, 7)) << "the failure reaches the form";
}

TEST_F(AdjConf, LoadsWithConfLoadingSet) {
    model->LoadRow(4);
    EXPECT_EQ(loaded, std::vector<int>{4});
    EXPECT_TRUE(loading_seen);
    EXPECT_FALSE(state.ConfLoading);
}

TEST_F(AdjConf, CancelRestoresAndOKWrites) {
    schedule[4].Name = "old";
    model->FormShow();
    model->SetEditText(5, "new");
    EXPECT_EQ(model->CellText(3, 5), "new");
    model->CancelBtnClick();
    EXPECT_EQ(schedule[4].Name, "old");
    EXPECT_TRUE(table_writes.empty());

    model->FormShow();
    model->SetEditText(5, "new");
    EXPECT_TRUE(model->OKBtnClick());
    ASSERT_EQ(table_writes.size(), 1u);
    EXPECT_EQ(table_writes[0][4].Name, "new");

    table_ok = false;
    EXPECT_FALSE(model->OKBtnClick()) << "the dialog stays open";
}

TEST_F(AdjConf, TableTexts) {
    EXPECT_EQ(model->CellText(0, 0), "N");
    EXPECT_EQ(model->CellText(1, 0), lang[kLineSaveColumn]);
    EXPECT_EQ(model->CellText(4, 0), lang[kLineTimedLoadColumn]);
    EXPECT_EQ(model->CellText(0, 12), "12");
    EXPECT_EQ(model->CellText(4, 1), lang[kLineTimedLoadOff]);
    schedule[0] = {7, 5, true, "", 5, 3, 2002, 0};
    EXPECT_EQ(model->CellText(4, 1), "5.3.2002 " + lang[kLineDateTimeWord] + " 7:5");
    schedule[1] = {20, 30, true, "", 1, 1, 2000, 2};
    EXPECT_EQ(model->CellText(4, 2), lang[kLineModeWorkdays] + " 20:30");
}

// The group shows the entry; an entry that cannot be a time or a date shows 1.1.2000, 0:00,
// daily. SetAllPar stores date and time in every mode.
TEST_F(AdjConf, TimedLoadGroup) {
    schedule[5] = {7, 5, true, "", 5, 3, 2002, 0};
    schedule[6] = {25, 70, true, "", 31, 2, 2001, 9};
    model->MouseDown(4, 6);
    ASSERT_EQ(model->MouseUp(4, 6), Release::ShowTimeLoad);
    AdjConfModel::TimeLoad t = model->ShowTimeLoadBox();
    EXPECT_EQ(t, (AdjConfModel::TimeLoad{true, 2002, 3, 5, 7, 5, 0}));
    EXPECT_TRUE(AdjConfModel::DateEnabled(t));
    EXPECT_EQ(model->TimeLoadCaption(), lang[kLineTimedLoadOf] + " 6: " + lang[kLineTimedLoadTail]);

    model->MouseDown(4, 7);
    model->MouseUp(4, 7);
    t = model->ShowTimeLoadBox();
    EXPECT_EQ(t, (AdjConfModel::TimeLoad{true, 2000, 1, 1, 0, 0, 1}));
    EXPECT_FALSE(AdjConfModel::DateEnabled(t));
    EXPECT_TRUE(AdjConfModel::TimeEnabled(t));
    t.Use = false;
    EXPECT_FALSE(AdjConfModel::TimeEnabled(t));

    model->SetAllPar({false, 2030, 6, 15, 23, 59, 3});
    const ConfScheduleEntry stored{23, 59, false, "", 15, 6, 2030, 3};
    EXPECT_EQ(schedule[6], stored);
    EXPECT_EQ(schedule[5].Hour, 7) << "only the row being edited";
}

} // namespace
} // namespace station
