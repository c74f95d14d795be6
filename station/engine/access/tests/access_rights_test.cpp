// QuerryStatus over the levels, with the rights file present, missing, and changed at the
// limited level without a new login.
#include "access/access_rights.h"
#include "program_dir_fixture.h"

#include "settings/settings_files.h"

#include <gtest/gtest.h>

namespace station {
namespace {

class Rights : public test::ProgramDirTest {
protected:
    AccessState access;
};

TEST_F(Rights, QuerryStatusByLevelAndFile) {
    RightsTable odd{};
    for (int n = 1; n <= kRightCount; n += 2) {
        odd[static_cast<std::size_t>(n - 1)] = true;
    }
    for (const bool file : {false, true}) {
        if (file) {
            ASSERT_TRUE(SaveRightsFile(base_, odd));
        }
        for (const std::uint8_t level : {0, 1, 2, 3}) {
            access.AccessStatus = level;
            for (const int n : {-1, 0, 1, 2, 19, 20, 21}) {
                SCOPED_TRACE(testing::Message()
                             << "file " << file << " level " << int(level) << " right " << n);
                const bool in_range = n >= 1 && n <= kRightCount;
                bool expected = false;
                if (level == kAccessFull) {
                    expected = in_range;
                } else if (level == kAccessLimited) {
                    expected = in_range && file && n % 2 == 1;
                }
                EXPECT_EQ(QuerryStatus(base_, access, n), expected);
            }
        }
    }
}

TEST_F(Rights, LimitedLevelFollowsTheFileWithoutANewLogin) {
    access.AccessStatus = kAccessLimited;
    EXPECT_FALSE(QuerryStatus(base_, access, 7));
    RightsTable rights{};
    rights[6] = true;
    ASSERT_TRUE(SaveRightsFile(base_, rights));
    EXPECT_TRUE(QuerryStatus(base_, access, 7));
    std::filesystem::remove(path("net1.pdt"));
    EXPECT_FALSE(QuerryStatus(base_, access, 7));
    EXPECT_EQ(access.AccessRights, RightsTable{});
}

} // namespace
} // namespace station
