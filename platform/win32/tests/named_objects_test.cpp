#include "core_test_support.h"
#include "system_root.h"
#include "platform/named_objects.h"
#include "platform/paths.h"
#include "windows.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using core_test::Child;

class NamedObjects : public ::testing::Test {
protected:
    std::unique_ptr<Child> helper(const std::string& mode, const std::string& name) {
        return std::make_unique<Child>(NAMED_HELPER_PATH, std::vector<std::string>{mode, name},
                                       std::vector<std::string>{env()});
    }
    int probe(const std::string& name) {
        return core_test::run(NAMED_HELPER_PATH, {"probe", name}, {env()});
    }
    std::string env() const { return "TOLM_SYSROOT=" + root.path().string(); }

    tolm_test::TempSystemRoot root;
};

TEST_F(NamedObjects, OneNameIsOneObjectInTheProcess) {
    const HANDLE a = CreateEventA(nullptr, TRUE, FALSE, "Ondral_Event");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(GetLastError(), 0u);
    const HANDLE b = CreateEventA(nullptr, FALSE, TRUE, "Ondral_Event"); // options ignored
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    const HANDLE c = OpenEventA(EVENT_ALL_ACCESS, FALSE, "Ondral_Event");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    SetEvent(c);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0) << "the first creator's manual reset holds";

    EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "ondral_event"), nullptr) << "names keep case";
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, "Ondral_Event"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(platform::create_event_exclusive("Ondral_Event", false, false), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));

    CloseHandle(a);
    CloseHandle(b);
    EXPECT_TRUE(platform::named_object_exists("Ondral_Event")) << "one handle is still open";
    CloseHandle(c);
    EXPECT_FALSE(platform::named_object_exists("Ondral_Event"));
    EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, "Ondral_Event"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(NamedObjects, AnotherProcessesNameExistsUntilThatProcessDies) {
    struct Case {
        const char* mode;
        const char* name;
    };
    for (const Case c : {Case{"hold-event", "Ondral_Event"}, Case{"hold-mutex", "Tolm \\ 16"}}) {
        SCOPED_TRACE(c.mode);
        auto other = helper(c.mode, c.name);
        ASSERT_EQ(other->read_line(), "created");
        const bool event = std::string(c.mode) == "hold-event";

        const HANDLE same = event ? CreateEventA(nullptr, FALSE, FALSE, c.name)
                                  : CreateMutexA(nullptr, TRUE, c.name);
        ASSERT_NE(same, nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
        EXPECT_EQ(event ? CreateMutexA(nullptr, FALSE, c.name)
                        : CreateEventA(nullptr, FALSE, FALSE, c.name),
                  nullptr)
            << "the other kind of object";
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(platform::create_event_exclusive(c.name, false, false), nullptr);
        if (event) {
            const HANDLE opened = OpenEventA(EVENT_ALL_ACCESS, FALSE, c.name);
            EXPECT_NE(opened, nullptr);
            CloseHandle(opened);
        } else {
            EXPECT_EQ(WaitForSingleObject(same, 0), WAIT_OBJECT_0)
                << "ownership is not shared across processes";
            ReleaseMutex(same);
        }
        CloseHandle(same);
        EXPECT_TRUE(platform::named_object_exists(c.name));

        other->kill(); // no clean-up in the helper: the kernel drops its lock
        EXPECT_FALSE(platform::named_object_exists(c.name));
        EXPECT_EQ(OpenEventA(EVENT_ALL_ACCESS, FALSE, c.name), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
        const HANDLE fresh = event ? CreateEventA(nullptr, FALSE, FALSE, c.name)
                                   : CreateMutexA(nullptr, FALSE, c.name);
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(GetLastError(), 0u) << "the name was not freed";
        CloseHandle(fresh);
    }
}

TEST_F(NamedObjects, OtherProcessesSeeThisProcessesNames) {
    EXPECT_EQ(probe("Ondral_Event"), 1);
    const HANDLE mine = CreateEventA(nullptr, FALSE, FALSE, "Ondral_Event");
    EXPECT_EQ(probe("Ondral_Event"), 0);
    auto other = helper("hold-event", "Ondral_Event");
    EXPECT_EQ(other->read_line(), "exists");
    EXPECT_EQ(other->finish(), 0);
    auto loser = helper("exclusive", "Ondral_Event");
    EXPECT_EQ(loser->read_line(), "lost");
    loser->finish();
    CloseHandle(mine);
    EXPECT_EQ(probe("Ondral_Event"), 1);
}

TEST_F(NamedObjects, ExactlyOneOfRacingExclusiveCreatorsWins) {
    std::vector<std::unique_ptr<Child>> racers;
    for (int i = 0; i < 6; ++i) {
        racers.push_back(helper("exclusive", "Single instance"));
    }
    int won = 0;
    for (auto& r : racers) {
        const std::string answer = r->read_line();
        EXPECT_TRUE(answer == "won" || answer == "lost") << answer;
        won += answer == "won";
    }
    EXPECT_EQ(won, 1);
    for (auto& r : racers) {
        r->finish();
    }
    EXPECT_FALSE(platform::named_object_exists("Single instance"));
}

} // namespace
