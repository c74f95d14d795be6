#include "base/dialog_log.h"

#include "base/language.h"
#include "program_dir_fixture.h"
#include "base/work_log.h"

namespace station {
namespace {

class DialogLog : public test::ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        std::string lang;
        for (int n = 0; n < 250; ++n) {
            lang += "L" + std::to_string(n) + "\r\n";
        }
        LangList.SetText(lang);
        ReportFlags.fill(true);
        SetLocalClock([] { return LocalDateTime{2026, 3, 10, 12, 0, 7, 0}; });
    }
    void TearDown() override {
        SetLocalClock({});
        ReportFlags.fill(false);
        LangList.Clear();
        ProgramDirTest::TearDown();
    }
    std::string log() const {
        const auto b = read("20260310.rpt");
        return {b.begin(), b.end()};
    }
};

TEST_F(DialogLog, JoinsLinesAndQuotedTexts) {
    LogDialogOpened("Net \xC0");
    LogDialogButton("Connect");
    LogDialogChanged("Net \xC0");
    LogDialogCancelled();
    LogDialogClosed("Net \xC0");
    EXPECT_EQ(log(), "02 12:00:07 L245 \"Net \xC0\" L246\r\n"
                     "02 12:00:07 L244 \"Connect\"\r\n"
                     "02 12:00:07 L248 \"Net \xC0\" L249\r\n"
                     "02 12:00:07 L241\r\n"
                     "02 12:00:07 L245 \"Net \xC0\" L247\r\n");
}

TEST_F(DialogLog, FollowsTheOperatorCategory) {
    ReportFlags[1] = false;
    LogDialogOpened("x");
    LogDialogCancelled();
    EXPECT_FALSE(std::filesystem::exists(path("20260310.rpt")));
}

} // namespace
} // namespace station
