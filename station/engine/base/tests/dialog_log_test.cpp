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
        base_.LangList.SetText(lang);
        base_.ReportFlags.fill(true);
        base_.LocalClock = ([] { return LocalDateTime{2026, 3, 10, 12, 0, 7, 0}; });
    }
    void TearDown() override {
        base_.LocalClock = nullptr;
        base_.ReportFlags.fill(false);
        base_.LangList.Clear();
        ProgramDirTest::TearDown();
    }
    std::string log() const {
        const auto b = read("20260310.rpt");
        return {b.begin(), b.end()};
    }
};

TEST_F(DialogLog, JoinsLinesAndQuotedTexts) {
    LogDialogOpened(base_, "Net \xC0");
    LogDialogButton(base_, "Connect");
    LogDialogChanged(base_, "Net \xC0");
    LogDialogCancelled(base_);
    LogDialogClosed(base_, "Net \xC0");
    EXPECT_EQ(log(), "02 12:00:07 L245 \"Net \xC0\" L246\r\n"
                     "02 12:00:07 L244 \"Connect\"\r\n"
                     "02 12:00:07 L248 \"Net \xC0\" L249\r\n"
                     "02 12:00:07 L241\r\n"
                     "02 12:00:07 L245 \"Net \xC0\" L247\r\n");
}

TEST_F(DialogLog, FollowsTheOperatorCategory) {
    base_.ReportFlags[1] = false;
    LogDialogOpened(base_, "x");
    LogDialogCancelled(base_);
    EXPECT_FALSE(std::filesystem::exists(path("20260310.rpt")));
}

} // namespace
} // namespace station
