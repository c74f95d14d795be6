#include "setup_fixture.h"

#include "setup_dialog.h"
#include "texts.h"

#include "platform/token_state.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace setup_test {
namespace {

std::vector<std::string> items(const QComboBox* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) {
        out.push_back(list->itemText(i).toStdString());
    }
    return out;
}

std::vector<std::string> numbers(int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i <= to; ++i) {
        out.push_back(std::to_string(i));
    }
    return out;
}

BOOL nt4(LPOSVERSIONINFOA info) {
    info->dwMajorVersion = 4;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}

BOOL windows98(LPOSVERSIONINFOA info) {
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 10;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

class DialogTest : public InstallerTest {
protected:
    setup::SetupDialog dialog;
};

TEST_F(DialogTest, StartShowsTheTemplateAndEnablesTheShutdownPrivilege) {
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), setup::from_cp1251(setup::text::kDialogCaption));
    EXPECT_EQ(dialog.status_line()->text(), setup::from_cp1251(setup::text::kStatusWelcome));
    EXPECT_EQ(dialog.install_button()->text(), setup::from_cp1251(setup::text::kButtonInstall));
    EXPECT_TRUE(dialog.install_button()->isDefault());
    EXPECT_EQ(dialog.remove_button()->text(), setup::from_cp1251(setup::text::kButtonRemove));
    EXPECT_EQ(dialog.exit_button()->text(), setup::from_cp1251(setup::text::kButtonExit));
    EXPECT_EQ(dialog.remove_devices_box()->text(),
              setup::from_cp1251(setup::text::kCheckRemoveDevices));
    EXPECT_EQ(items(dialog.first_slot_list()), numbers(0, 2));
    EXPECT_EQ(dialog.first_slot_list()->currentText(), "0");
    EXPECT_EQ(items(dialog.device_count_list()), numbers(1, 10));
    EXPECT_EQ(dialog.device_count_list()->currentText(), "4");
    EXPECT_TRUE(dialog.remove_devices_box()->isEnabled());
    EXPECT_FALSE(dialog.remove_devices_box()->isChecked());
    EXPECT_EQ(dialog.model().settings().pci_ids.size(), 8u);
    EXPECT_EQ(dialog.model().settings().first_slot, 0);
    EXPECT_EQ(dialog.model().settings().device_count, 4);
    EXPECT_TRUE(platform::token::privilege_enabled("SeShutdownPrivilege"));
    EXPECT_TRUE(ui->boxes().empty());

    dialog.exit_button()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.model().settings().pci_ids.empty());
}

TEST_F(DialogTest, FirstSlotListFollowsTheDeviceCount) {
    dialog.show();
    struct Step {
        int count_position; // -1: none
        int first_position; // -1: none
        std::vector<std::string> first_items;
        std::string selected;
        int first_slot;
        int device_count;
    };
    const Step steps[] = {
        {9, -1, numbers(0, 0), "0", 0, 10}, // count 10: only slot 0
        {0, -1, numbers(0, 9), "0", 0, 1},  // count 1: slots 0 to 9
        {-1, 6, numbers(0, 9), "6", 6, 1},  // first slot 6
        {7, -1, numbers(0, 2), "0", 0, 8},  // then count 8: slot 6 is gone, 0 is taken
        {-1, 2, numbers(0, 2), "2", 2, 8},
        {6, -1, numbers(0, 3), "2", 2, 7}, // a slot still in the list stays selected
    };
    for (const Step& s : steps) {
        if (s.count_position >= 0) {
            dialog.device_count_list()->setCurrentIndex(s.count_position);
        }
        if (s.first_position >= 0) {
            dialog.first_slot_list()->setCurrentIndex(s.first_position);
        }
        EXPECT_EQ(items(dialog.first_slot_list()), s.first_items);
        EXPECT_EQ(dialog.first_slot_list()->currentText().toStdString(), s.selected);
        EXPECT_EQ(dialog.model().settings().first_slot, s.first_slot);
        EXPECT_EQ(dialog.model().settings().device_count, s.device_count);
    }
}

TEST_F(DialogTest, InstallUsesSlotZeroAfterTheListWasCutAndButtonsFollowTheOperations) {
    dialog.show();
    dialog.device_count_list()->setCurrentIndex(0);
    dialog.first_slot_list()->setCurrentIndex(6);
    dialog.device_count_list()->setCurrentIndex(7);
    dialog.install_button()->click();
    EXPECT_EQ(dialog.status_line()->text(), setup::from_cp1251(setup::text::kStatusInstallDone));
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO"), "tarvovfw0.dll");
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO7"), "tarvovfw7.dll");
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO6"), "tarvovfw6.dll");
    EXPECT_FALSE(dialog.install_button()->isEnabled());
    EXPECT_TRUE(dialog.remove_button()->isEnabled());
    EXPECT_TRUE(dialog.exit_button()->isEnabled());

    dialog.remove_button()->click();
    EXPECT_EQ(dialog.status_line()->text(), setup::from_cp1251(setup::text::kStatusRemoveDone));
    EXPECT_TRUE(dialog.install_button()->isEnabled());
    EXPECT_FALSE(dialog.remove_button()->isEnabled());
    EXPECT_TRUE(dialog.exit_button()->isEnabled());
    EXPECT_EQ(string_value(kDrivers32, "MSVIDEO"), "");
}

TEST_F(DialogTest, OnNt4TheCheckBoxIsOffAndNoDeviceIsRemoved) {
    dialog.model().read_version = nt4;
    dialog.show();
    EXPECT_FALSE(dialog.remove_devices_box()->isEnabled());
    EXPECT_FALSE(dialog.remove_devices_box()->isChecked());
    dialog.model().set_remove_devices(true);
    EXPECT_FALSE(dialog.model().remove_devices_ticked());
    dialog.install_button()->click();
    EXPECT_FALSE(dialog.model().installer().devices_removed());
    EXPECT_EQ(dialog.model().status(), setup::text::kStatusInstallDone);
}

TEST_F(DialogTest, StartUpProblemsAreToldInBoxes) {
    struct Case {
        const char* what;
        std::function<BOOL(LPOSVERSIONINFOA)> version;
        bool privilege_held;
        std::vector<std::string> boxes;
        std::size_t pci_ids;
    };
    const Case cases[] = {
        {"not the NT line", windows98, true, {setup::text::kNtOnly}, 0},
        {"no shutdown privilege", GetVersionExA, false, {setup::text::kNoShutdownPrivilege}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui->clear();
        platform::token::reset();
        platform::token::set_privilege_held("SeShutdownPrivilege", c.privilege_held);
        setup::SetupDialogModel model;
        model.read_version = c.version;
        model.OnInitDialog();
        const auto boxes = ui->boxes();
        ASSERT_EQ(boxes.size(), c.boxes.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i].text, c.boxes[i]);
            EXPECT_EQ(boxes[i].caption, setup::text::kCaptionAttentionPlain);
            EXPECT_EQ(boxes[i].type & MB_TYPEMASK, MB_OK);
        }
        EXPECT_EQ(model.settings().pci_ids.size(), c.pci_ids);
        EXPECT_EQ(model.focus_allowed(), c.pci_ids != 0);
    }
}

} // namespace
} // namespace setup_test
