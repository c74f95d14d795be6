// The access-status refresh: the control table over levels, boards and rights, the controls a
// pending driver dialog or the dialog's own load leave alone, and which dialogs go.
#include "access/system_status.h"
#include "program_dir_fixture.h"

#include "base/settings_dialogs.h"
#include "settings/settings_files.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace station {
namespace {

using Controls = std::map<std::string, bool>;

Controls as_map(const std::vector<ControlSetting>& list) {
    Controls out;
    for (const ControlSetting& c : list) {
        EXPECT_TRUE(out.emplace(c.Name, c.On).second) << c.Name << " twice";
    }
    return out;
}

// The table: each control's right (0: none, only full access) and the board it needs
// (0 none, -1 any, k board k).
struct Row {
    const char* name;
    int right;
    int board;
};
constexpr Row kTable[] = {
    {"CLRBut", 3, 0},
    {"StealthMenu", 16, 0},
    {"N1", 10, 0},
    {"N7", 0, 0},
    {"ReviewMenu", 2, 0},
    {"PriorMenu", 8, -1},
    {"FormDiskWriteModeMenu", 6, 0},
    {"MonControlMenu", 20, -1},
    {"AdjNetMenu", 5, 0},
    {"AdjADCMenu", 18, -1},
    {"AdjHardMenu", 19, -1},
    {"AdjRepMenu", 15, 0},
    {"ViewRepMenu", 15, 0},
    {"AddChanel", 1, 0},
    {"ResMenuItem1", 12, 1},
    {"ResMenuItem2", 12, 2},
    {"ResMenuItem3", 12, 3},
    {"ResMenuItem4", 12, 4},
    {"ResMenu", 12, -1},
    {"SoerceMenuItem1", 13, 1},
    {"SoerceMenuItem2", 13, 2},
    {"SoerceMenuItem3", 13, 3},
    {"SoerceMenuItem4", 13, 4},
    {"SoerceMenu", 13, -1},
    {"FindBtn", 14, 0},
    {"WriteBtn", 17, 0},
};

TEST(ControlTable, EveryRowForLevelsBoardsAndRights) {
    // Boards: none, each alone; rights: none, all, every other one.
    std::vector<std::array<bool, kChipCount>> boards = {{}};
    for (int k = 0; k < kChipCount; ++k) {
        std::array<bool, kChipCount> one{};
        one[static_cast<std::size_t>(k)] = true;
        boards.push_back(one);
    }
    RightsTable all{};
    all.fill(true);
    RightsTable even{};
    for (int n = 2; n <= kRightCount; n += 2) {
        even[static_cast<std::size_t>(n - 1)] = true;
    }
    for (const std::uint8_t level : {kAccessLocked, kAccessFull, kAccessLimited}) {
        for (const auto& present : boards) {
            for (const RightsTable& rights : {RightsTable{}, all, even}) {
                StatusInputs in;
                in.Level = level;
                in.Boards = present;
                in.Rights = rights;
                const Controls got = as_map(SystemStatusControls(in));
                EXPECT_EQ(got.size(), std::size(kTable));
                for (const Row& row : kTable) {
                    bool board_ok = true;
                    if (row.board == -1) {
                        board_ok = present[0] || present[1] || present[2] || present[3];
                    } else if (row.board > 0) {
                        board_ok = present[static_cast<std::size_t>(row.board - 1)];
                    }
                    bool expected = false;
                    if (level == kAccessFull) {
                        expected = board_ok;
                    } else if (level == kAccessLimited && row.right != 0) {
                        expected = board_ok && rights[static_cast<std::size_t>(row.right - 1)];
                    }
                    ASSERT_TRUE(got.count(row.name)) << row.name;
                    EXPECT_EQ(got.at(row.name), expected)
                        << row.name << " level " << int(level) << " boards " << present[0]
                        << present[1] << present[2] << present[3] << " right "
                        << rights[static_cast<std::size_t>(std::max(row.right, 1) - 1)];
                }
            }
        }
    }
}

TEST(ControlTable, LeavesWhatOtherPathsHold) {
    StatusInputs in;
    in.Level = kAccessFull;
    in.Boards.fill(true);
    in.ConfLoading = true;
    in.Busy[1].Format = true; // chip 2's format dialog
    in.Busy[3].Source = true; // chip 4's source dialog
    const Controls got = as_map(SystemStatusControls(in));
    for (const char* left : {"N1", "ResMenuItem2", "ResMenu", "SoerceMenuItem4", "SoerceMenu"}) {
        EXPECT_EQ(got.count(left), 0u) << left;
    }
    for (const char* set : {"ResMenuItem1", "ResMenuItem4", "SoerceMenuItem2", "N7"}) {
        EXPECT_TRUE(got.count(set) && got.at(set)) << set;
    }
}

class RecordingWindows : public StatusWindows {
public:
    bool conf_loading = false;
    std::array<bool, kChipCount> boards{};
    int hidden = 0;
    std::optional<Controls> applied;
    // What the rights were when the controls were applied.
    bool ConfLoading() const override { return conf_loading; }
    std::array<bool, kChipCount> Boards() const override { return boards; }
    std::array<DriverDialogsBusy, kChipCount> DriverDialogs() const override { return {}; }
    void HideViewer() override { ++hidden; }
    void ApplyControls(const std::vector<ControlSetting>& controls) override {
        applied = as_map(controls);
    }
};

class StatusSet : public test::ProgramDirTest {
protected:
    void open_all() {
        for (int d = 0; d < kSettingsDialogCount; ++d) {
            const auto kind = static_cast<SettingsDialog>(d);
            dialogs.Register(kind, [this, kind] { ++freed[kind]; });
        }
    }
    AccessState access;
    DialogRegistry dialogs;
    std::map<SettingsDialog, int> freed;
    RecordingWindows windows;
};

TEST_F(StatusSet, FreesTheDialogsButTheLoginAndTheLoadingOne) {
    for (const bool loading : {false, true}) {
        SCOPED_TRACE(loading ? "ConfLoading" : "no load");
        freed.clear();
        open_all();
        windows.conf_loading = loading;
        access.AccessStatus = kAccessFull;
        SystemStatusSet(base_, access, dialogs, windows);
        for (int d = 0; d < kSettingsDialogCount; ++d) {
            const auto kind = static_cast<SettingsDialog>(d);
            const bool kept = kind == SettingsDialog::CheckPassword ||
                              (loading && kind == SettingsDialog::AdjConf);
            EXPECT_EQ(dialogs.IsOpen(kind), kept) << d;
            EXPECT_EQ(freed[kind], kept ? 0 : 1) << d;
        }
        ASSERT_TRUE(windows.applied);
        EXPECT_EQ(windows.applied->count("N1"), loading ? 0u : 1u);
        dialogs.Free(SettingsDialog::AdjConf);
        dialogs.Free(SettingsDialog::CheckPassword);
    }
    EXPECT_EQ(windows.hidden, 2);
}

TEST_F(StatusSet, LimitedLevelReadsTheRightsFirst) {
    RightsTable rights{};
    rights[0] = true; // AddChanel
    ASSERT_TRUE(SaveRightsFile(base_, rights));
    access.AccessStatus = kAccessLimited;
    SystemStatusSet(base_, access, dialogs, windows);
    EXPECT_EQ(access.AccessRights, rights);
    EXPECT_TRUE(windows.applied->at("AddChanel"));
    EXPECT_FALSE(windows.applied->at("ReviewMenu"));
}

} // namespace
} // namespace station
