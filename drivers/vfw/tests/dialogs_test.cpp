// The driver's dialogs under scripted operators: the Settings dialog on the virtual board with
// the real kernel driver (video_dialogs_test.cpp has the others), and the register help viewer over
// help files in the system directory (the viewer runs from the driver's sources linked into this
// test, with the templates in this program's resource block).
#include "driver_dialogs.h"
#include "board_fixture.h"

#include "platform/dialog_script.h"
#include "win32/dialog_box.h"
#include "win32/dialogs.h"
#include "win32/files.h"

#include <fstream>
#include <string>
#include <vector>

namespace capdrv_test {
namespace {

std::vector<std::string> texts(const platform::DialogControl* list) {
    std::vector<std::string> out;
    for (const auto& item : list->items()) {
        out.push_back(item.text);
    }
    return out;
}

std::filesystem::path system_directory() {
    char directory[MAX_PATH] = {};
    GetSystemDirectoryA(directory, MAX_PATH);
    return directory;
}

class DriverDialogs : public DriverFixture {
protected:
    std::shared_ptr<platform::HeadlessDialogHost> host_ =
        std::make_shared<platform::HeadlessDialogHost>();
    platform::ScopedDialogHost scope_{host_};
};

class SettingsOnBoard : public OnBoard {
protected:
    std::shared_ptr<platform::HeadlessDialogHost> host_ =
        std::make_shared<platform::HeadlessDialogHost>();
    platform::ScopedDialogHost scope_{host_};
};

TEST_F(SettingsOnBoard, ShowsTheChipAndTheStoredFormatAndAnswersQueriesWithoutShowing) {
    set_user_value(0, "Format", 4);
    set_user_value(0, "Width", 384);
    set_user_value(0, "Height", 288);
    set_user_value(0, "Brightness", 192);
    set_user_value(0, "Connector", 1);
    {
        // A query shows nothing.
        Channel out(u"MSVIDEO", VIDEO_EXTERNALOUT);
        ASSERT_TRUE(out.ok());
        EXPECT_EQ(out.send(DVM_DIALOG, 0, VIDEO_DLG_QUERY), 0);
        EXPECT_TRUE(host_->runs().empty());
    }
    connect();

    std::vector<std::pair<int, std::string>> shown;
    host_->on(tarvovfw::kSettingsTemplate, [&](platform::Dialog& d) {
        for (int id : {401, 402, 403, 407, 405, 404, 408, 409}) {
            shown.emplace_back(id, d.control(id)->text());
        }
        d.click(9); // Help does nothing
        EXPECT_FALSE(d.ended());
        d.click(IDOK);
    });
    EXPECT_TRUE(capDlgVideoDisplay(window_));
    ASSERT_EQ(host_->runs().size(), 1u);
    EXPECT_EQ(host_->runs()[0].caption, "Settings Driver 0") << "the index itself";
    EXPECT_EQ(host_->runs()[0].result, IDOK);
    const std::vector<std::pair<int, std::string>> expected = {
        {401, "1"},  {402, "PAL-B,D,G,H,I"}, {403, "75%"}, {407, "50%"}, {405, "50%"},
        {404, "0%"}, {408, "384x288"},       {409, "YUY2"}};
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(platform::open_dialogs().empty());
}

class HelpViewer : public DriverDialogs {
protected:
    void write_help(const std::string& bytes) {
        std::ofstream(system_directory() / "bt878.txt", std::ios::binary) << bytes;
    }
    // Opens the viewer on `topic`; `script` acts in it.
    void open(int topic, platform::HeadlessDialogHost::Script script) {
        host_->on(tarvovfw::kHelpTemplate, std::move(script));
        tarvovfw::run_help_viewer(nullptr, topic);
    }
};

TEST_F(HelpViewer, TopicsOfACrLfFileWithALastTopicWithoutLineEnd) {
    const std::string long_line(300, 'x');
    write_help("intro\r\n{0}\r\nzero\r\n{1}\r\nRegister one\r\n\r\n" + long_line +
               "\r\n{2}\r\ntwo a\r\ntwo b");
    open(1, [&](platform::Dialog& d) {
        const auto* list = d.control(1000);
        EXPECT_EQ(texts(list), (std::vector<std::string>{"Register one", "", long_line}));
        d.click(1010); // Next: the last topic runs to the end of the file
        EXPECT_EQ(texts(list), (std::vector<std::string>{"two a", "two b"}));
        d.click(1009);
        d.click(1009);
        EXPECT_EQ(texts(list), (std::vector<std::string>{"zero"}));
        d.click(1009); // topic 0 has no previous topic
        EXPECT_EQ(texts(list), (std::vector<std::string>{"zero"}));
        d.click(1010);
        d.click(1008); // Begin
        EXPECT_EQ(texts(list), (std::vector<std::string>{"zero"}));
        d.click(IDOK);
    });
    ASSERT_EQ(host_->runs().size(), 1u);
    EXPECT_EQ(host_->runs()[0].result, IDOK);
    EXPECT_TRUE(ui_->calls().empty());
}

TEST_F(HelpViewer, MissingFileOrTopicTellsTheOperatorAndLeavesTheListEmpty) {
    std::filesystem::remove(system_directory() / "bt878.txt");
    open(3, [](platform::Dialog& d) {
        EXPECT_TRUE(d.control(1000)->items().empty());
        EXPECT_FALSE(d.ended()) << "the viewer stays open";
        d.close();
    });
    write_help("{0}\nonly topic\n");
    open(5, [](platform::Dialog& d) { EXPECT_TRUE(d.control(1000)->items().empty()); });
    const auto calls = ui_->calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "Help file is absent");
    EXPECT_EQ(calls[0].caption, system_directory().string() + "\\bt878.txt");
    EXPECT_EQ(calls[1].text, "Help item is absent");
    EXPECT_EQ(calls[1].caption, "");
    EXPECT_EQ(host_->runs().size(), 2u);
}

TEST_F(HelpViewer, TheShippedFileHasATopicForEveryRegister) {
    std::filesystem::copy_file(BT878_HELP_PATH, system_directory() / "bt878.txt",
                               std::filesystem::copy_options::overwrite_existing);
    open(0, [](platform::Dialog& d) {
        const auto* list = d.control(1000);
        for (int topic = 0; topic < tarvovfw::kHelpTopics; ++topic) {
            SCOPED_TRACE(topic);
            char first[32];
            std::snprintf(first, sizeof first, "Register 0x%03X", topic * 4);
            const auto lines = texts(list);
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines[0].rfind(first, 0), 0u) << lines[0];
            for (const auto& line : lines) {
                EXPECT_EQ(line.find('\r'), std::string::npos);
                EXPECT_TRUE(line.empty() || line.front() != '{');
            }
            d.click(1010);
        }
        d.click(IDOK);
    });
    EXPECT_TRUE(ui_->calls().empty());
}

} // namespace
} // namespace capdrv_test
