// The lock button and the password gate over a recording window side.
#include "access/access_control.h"
#include "program_dir_fixture.h"

#include "settings/settings_files.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace station {
namespace {

class RecordingPort : public AccessPort {
public:
    std::vector<std::string> log;
    std::optional<LoginPasswords> opened;
    bool login_open = false;
    bool stealth = false;
    bool closing = false;

    void SetPassButPicture(bool unlocked) override {
        log.push_back(unlocked ? "unlocked" : "locked");
    }
    void SystemStatusSet() override { log.push_back("status"); }
    bool LoginOpen() const override { return login_open; }
    void OpenLogin(const LoginPasswords& passwords) override {
        opened = passwords;
        login_open = true;
        log.push_back("login");
    }
    bool StealthActive() const override { return stealth; }
    void LeaveStealth() override {
        stealth = false;
        log.push_back("leave stealth");
    }
    bool Closing() const override { return closing; }
};

class Gate : public test::ProgramDirTest {
protected:
    using Log = std::vector<std::string>;
    AccessState access;
    RecordingPort port;
    AccessControl control{base_, access, port};
};

TEST_F(Gate, NoLevelOnePasswordGivesFullAccessAtOnce) {
    for (const bool file : {false, true}) {
        SCOPED_TRACE(file ? "empty net2.pdt" : "missing net2.pdt");
        if (file) {
            ASSERT_TRUE(SavePasswordFile(base_, 1, ""));
        }
        ASSERT_TRUE(SavePasswordFile(base_, 2, "77"));
        access.AccessStatus = kAccessLocked;
        port.log.clear();
        port.stealth = true;
        control.PassButClick();
        EXPECT_EQ(access.AccessStatus, kAccessFull);
        EXPECT_EQ(port.log, (Log{"unlocked", "status", "leave stealth"}));
        EXPECT_FALSE(port.opened);
    }
}

TEST_F(Gate, LoginThroughTheDialogAndLock) {
    ASSERT_TRUE(SavePasswordFile(base_, 1, "123"));
    ASSERT_TRUE(SavePasswordFile(base_, 2, "45"));
    control.PassButClick();
    ASSERT_TRUE(port.opened);
    EXPECT_EQ(port.opened->Level1, "123");
    EXPECT_EQ(port.opened->Level2, "45");
    EXPECT_EQ(access.AccessStatus, kAccessLocked);

    // A second attempt while the dialog is open does nothing.
    port.log.clear();
    control.PassButClick();
    EXPECT_TRUE(port.log.empty());

    port.login_open = false;
    control.LoginEnded(2);
    EXPECT_EQ(access.AccessStatus, kAccessLimited);
    EXPECT_EQ(port.log, (Log{"unlocked", "status"})); // not in stealth: nothing to leave

    port.log.clear();
    control.PassButClick();
    EXPECT_EQ(access.AccessStatus, kAccessLocked);
    EXPECT_EQ(port.log, (Log{"locked", "status"}));
}

TEST_F(Gate, RefusalClosingAndLateEndsChangeNothing) {
    ASSERT_TRUE(SavePasswordFile(base_, 1, "1"));
    control.PassButClick();
    port.login_open = false;
    port.log.clear();
    control.LoginEnded(0);
    EXPECT_EQ(access.AccessStatus, kAccessLocked);
    EXPECT_TRUE(port.log.empty());

    // The station closes while the dialog is open: its end applies nothing.
    control.PassButClick();
    port.login_open = false;
    port.closing = true;
    control.LoginEnded(1);
    EXPECT_EQ(access.AccessStatus, kAccessLocked);
    EXPECT_EQ(port.log, (Log{"login"}));
}

TEST(CheckTyped, ComparesWithBothPasswords) {
    const struct {
        const char* level1;
        const char* level2;
        const char* typed;
        std::uint8_t result;
    } cases[] = {
        {"123", "45", "123", 1}, {"123", "45", "45", 2},   {"123", "45", "12", 0},
        {"123", "45", "", 0},    {"123", "123", "123", 1}, // equal passwords: level 1
        {"123", "", "", 2},                                // no level-2 password
        {"123", "", "0", 0},     {"00", "0", "0", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.level1 << "/" << c.level2 << " typed " << c.typed);
        EXPECT_EQ(CheckTyped(c.typed, {c.level1, c.level2}), c.result);
    }
}

} // namespace
} // namespace station
