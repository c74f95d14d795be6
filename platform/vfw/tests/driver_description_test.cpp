// capGetDriverDescriptionA: the description of the copy registered in each slot.
#include "capture_fixture.h"

#include "vfw.h"
#include "win32/errors.h"
#include "win32/registry.h"

namespace vfw_test {
namespace {

TEST_F(CaptureTest, EachSlotAnswersTheDescriptionOfItsOwnCopy) {
    install(0, 0);
    install(1, 1);
    install(3, 7);
    const struct {
        UINT slot;
        BOOL found;
        const char* name;
    } cases[] = {{0, TRUE, "Test Capture Driver Device0"},
                 {1, TRUE, "Test Capture Driver Device1"},
                 {2, FALSE, ""},
                 {3, TRUE, "Test Capture Driver Device7"},
                 {9, FALSE, ""},
                 {10, FALSE, ""}};
    for (const auto& c : cases) {
        char name[100] = "untouched";
        char version[100] = "untouched";
        EXPECT_EQ(capGetDriverDescriptionA(c.slot, name, sizeof(name), version, sizeof(version)),
                  c.found)
            << c.slot;
        if (c.found) {
            EXPECT_STREQ(name, c.name);
            EXPECT_STREQ(version, "2.5.0.1 test");
        }
    }
}

TEST_F(CaptureTest, DescriptionsAreCutToTheBuffersAndNeedAFile) {
    install(0, 0);
    char name[5] = {};
    ASSERT_TRUE(capGetDriverDescriptionA(0, name, sizeof(name), nullptr, 0));
    EXPECT_STREQ(name, "Test");

    register_slot(1, "gone.dll");
    EXPECT_FALSE(capGetDriverDescriptionA(1, name, sizeof(name), nullptr, 0));

    // A file without version information answers its file name.
    std::filesystem::copy_file(TEST_PROBE_PATH, root_ / "system32" / "Plain.dll");
    register_slot(2, "plain.dll");
    char full[100] = {};
    char version[100] = "x";
    ASSERT_TRUE(capGetDriverDescriptionA(2, full, sizeof(full), version, sizeof(version)));
    EXPECT_STREQ(full, "Plain.dll");
    EXPECT_STREQ(version, "");
}

} // namespace
} // namespace vfw_test
