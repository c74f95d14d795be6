// The network settings dialog's model: the port edit's rules, the buttons, the grid's edit
// rules, the lamps taken on the tick, the work-log lines and the file written when it goes.
#include "network/adj_net_model.h"

#include "network_fixture.h"

#include "base/dialog_log.h"
#include "base/program_dir.h"
#include "base/work_log.h"
#include "settings/settings_files.h"

#include <platform/ui_recorder.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace network_test {
namespace {

constexpr LocalDateTime kNow{2026, 12, 10, 18, 5, 9, 0};

// The main form's listening socket as the dialog's buttons use it.
struct Listening : ServerSocketPort {
    bool Open(int port) override {
        opens.push_back(port);
        return active = !fails;
    }
    void Close() override {
        ++closes;
        active = false;
    }
    bool Active() const override { return active; }
    int ActiveConnections() const override { return 0; }
    ServerConnectionPort& Connection(int) override { throw std::out_of_range("no connection"); }
    bool active = true;
    bool fails = false;
    std::vector<int> opens;
    int closes = 0;
};

class AdjNet : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_TRUE(base_.LangList.LoadFromFile(std::filesystem::path(TOLM_BIN_DIR) / "tolm.lng"));
        SetProgramDir(base_, folder_.path().string());
        base_.ReportFlags.fill(true);
        base_.LocalClock = [] { return kNow; };
        links.Create(1);
        links.Create(3);
        settings.ServerPort = 2001;
        model = std::make_unique<AdjNetModel>(base_, settings, networkOn, links, listening);
    }

    // The work log's lines without category and time ("02 18:05:09 ").
    std::vector<std::string> LogLines() const {
        std::ifstream in(folder_.path() / WorkLogFileName(kNow), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            lines.push_back(text.substr(at + 12, end - at - 12));
            at = end + 2;
        }
        return lines;
    }
    std::size_t Beeps() const {
        std::size_t n = 0;
        for (const auto& call : ui_->calls()) {
            n += call.kind == platform::UiRecorder::Kind::MessageBeep;
        }
        return n;
    }
    std::string Opened() const { return DialogLogText(base_.LangList, 245, model->Caption(), 246); }
    std::string Closed() const { return DialogLogText(base_.LangList, 245, model->Caption(), 247); }
    std::string Changed() const {
        return DialogLogText(base_.LangList, 248, model->Caption(), 249);
    }
    std::string Button(int line) const {
        return DialogLogText(base_.LangList, 244, base_.LangList[line], -1);
    }

    tolm_test::TempDir folder_{"tolm-adjnet"};
    std::shared_ptr<platform::UiRecorder> ui_ = std::make_shared<platform::UiRecorder>();
    platform::ScopedUiSink sink_{ui_};
    Listening listening;
    std::unique_ptr<AdjNetModel> model;
};

TEST_F(AdjNet, ShowingTakesTheStoredPortAsItIs) {
    settings.ServerPort = 40000;
    model->FormShow();
    EXPECT_EQ(model->PortEditText(), "40000");
    EXPECT_EQ(settings.ServerPort, 40000);
    EXPECT_FALSE(model->PortEditEnabled());
    EXPECT_TRUE(ui_->calls().empty()) << "a beep at show time";
    EXPECT_EQ(LogLines(), std::vector<std::string>{Opened()});
}

TEST_F(AdjNet, PortEditRules) {
    model->FormShow();
    // Typed keys: digits and Backspace go through; anything else beeps.
    for (const char key : {'0', '5', '9', '\b'}) {
        EXPECT_TRUE(model->ServerPortEditKeyPress(key)) << key;
    }
    EXPECT_TRUE(ui_->calls().empty());
    for (const char key : {'a', '-', ' ', '.', '\r'}) {
        EXPECT_FALSE(model->ServerPortEditKeyPress(key)) << key;
    }
    EXPECT_EQ(Beeps(), 5u);

    const struct {
        const char* text; // the edit's text after a change
        const char* shown;
        int port;
        int beeps;
    } cases[] = {
        {"4000", "4000", 4000, 0},
        {"40000", "4000", 4000, 1}, // the fifth digit
        {"32767", "32767", 32767, 0},
        {"32768", "3276", 3276, 1},
        {"", "0", 0, 1},
        {"0", "0", 0, 0},
        {"12a3", "123", 123, 1},
        {"x", "0", 0, 2}, // pasted
        {"9999999999999", "9999", 9999, 1},
        {"00080", "00080", 80, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::size_t before = Beeps();
        EXPECT_EQ(model->ServerPortEditChange(c.text), c.shown);
        EXPECT_EQ(settings.ServerPort, c.port);
        EXPECT_EQ(Beeps() - before, static_cast<std::size_t>(c.beeps));
    }
}

TEST_F(AdjNet, DisconnectAndConnect) {
    model->FormShow();
    Sock(1).active = true;
    model->Button1Click();
    EXPECT_FALSE(listening.Active());
    EXPECT_EQ(listening.closes, 1);
    EXPECT_FALSE(networkOn);
    EXPECT_TRUE(model->PortEditEnabled());
    EXPECT_EQ(Sock(1).closes, 1);
    EXPECT_EQ(Sock(3).closes, 1);
    model->Button1Click();
    EXPECT_EQ(listening.closes, 1) << "closed when it was not open";

    settings.ServerPort = 2002;
    model->Button2Click();
    EXPECT_TRUE(listening.Active());
    EXPECT_EQ(listening.opens, std::vector<int>{2002});
    EXPECT_TRUE(networkOn);
    EXPECT_FALSE(model->PortEditEnabled());
    // Open again: closed first. One that does not open still leaves the network on.
    listening.fails = true;
    model->Button2Click();
    EXPECT_EQ(listening.closes, 2);
    EXPECT_FALSE(listening.Active());
    EXPECT_TRUE(networkOn);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{Opened(), Button(127), Button(127), Button(128),
                                                    Button(128)}));
}

TEST_F(AdjNet, GridEditsOnlyPortsAndAddressesWhileTheNetworkIsOff) {
    model->FormShow();
    EXPECT_FALSE(model->Selectable(1, 1));
    EXPECT_TRUE(model->CellFixedColour(1, 1));
    networkOn = false;
    for (int column = 0; column < AdjNetModel::kColumns; ++column) {
        for (int row = 0; row < AdjNetModel::kRows; ++row) {
            EXPECT_EQ(model->Selectable(column, row), column >= 1 && (row == 1 || row == 2))
                << column << "," << row;
        }
    }
    EXPECT_FALSE(model->CellFixedColour(1, 1));
    EXPECT_TRUE(model->CellFixedColour(0, 1));

    const struct {
        const char* text;
        int port;
    } ports[] = {{"2001", 2001},       {"65535", 65535}, {"1", 1},   {"0", 1018},   {"65536", 1018},
                 {"-5", 1018},         {"abc", 1018},    {"", 1018}, {" 80", 1018}, {"+80", 80},
                 {"99999999999", 1018}};
    for (const auto& c : ports) {
        SCOPED_TRACE(c.text);
        model->SetEditText(3, 1, c.text);
        EXPECT_EQ(links.Get(3)->Port, c.port);
        EXPECT_EQ(settings.RemPorts[2], c.port);
        EXPECT_EQ(model->GetEditText(3, 1), std::to_string(c.port));
    }
    model->SetEditText(3, 2, "10.0.0.300 x");
    EXPECT_EQ(links.Get(3)->Address, "10.0.0.300 x");
    EXPECT_EQ(settings.RemAddresses[2], "10.0.0.300 x");
    EXPECT_EQ(model->CellText(3, 2), "10.0.0.300 x");
    // A station that does not exist: nothing stored, nothing shown.
    model->SetEditText(2, 1, "5000");
    model->SetEditText(2, 2, "10.0.0.2");
    EXPECT_EQ(settings.RemPorts[1], 1018);
    EXPECT_EQ(settings.RemAddresses[1], "");
    EXPECT_EQ(model->CellText(2, 1), "");
    EXPECT_EQ(model->CellText(2, 0), "2");
    EXPECT_EQ(model->CellText(0, 10), base_.LangList[147]);
}

TEST_F(AdjNet, AFlagLightsItsLampForOneTick) {
    using Lamp = AdjNetModel::Lamp;
    model->FormShow();
    links.SocketEventFlags[kSockConnect] = 1;
    links.SocketEventFlags[kSockConnect] = 1; // twice between two ticks
    links.SocketEventFlags[kSockError] = 1;
    links.Get(3)->LinkEventFlags[kLinkConnected] = 1;
    links.Get(3)->LinkEventFlags[kLinkError] = 1;
    Sock(3).active = true;
    model->Timer1Timer();
    const std::array<Lamp, 6> lit{Lamp{true, false}, Lamp{true, false},  Lamp{false, false},
                                  Lamp{true, true},  Lamp{false, false}, Lamp{false, false}};
    EXPECT_EQ(model->Lamps(), lit);
    EXPECT_EQ(model->CellLamp(3, 5), (Lamp{true, false}));
    EXPECT_EQ(model->CellLamp(3, 8), (Lamp{true, true}));
    EXPECT_EQ(model->CellLamp(3, 3), (Lamp{false, false}));
    EXPECT_EQ(model->CellLamp(3, 10), (Lamp{true, false}));
    EXPECT_EQ(model->CellLamp(2, 5), std::nullopt);
    // Painting any number of times changes nothing; the next tick darkens them.
    EXPECT_EQ(model->CellLamp(3, 5), (Lamp{true, false}));
    model->Timer1Timer();
    EXPECT_FALSE(model->Lamps()[1].Lit);
    EXPECT_FALSE(model->Lamps()[3].Lit);
    EXPECT_TRUE(model->Lamps()[3].Red);
    EXPECT_EQ(model->CellLamp(3, 5), (Lamp{false, false}));
    EXPECT_EQ(model->CellLamp(3, 8), (Lamp{false, true}));
    EXPECT_EQ(model->CellLamp(3, 10), (Lamp{true, false})) << "the open lamp is no flag";
    listening.active = false;
    model->Timer1Timer();
    EXPECT_FALSE(model->Lamps()[0].Lit);
}

TEST_F(AdjNet, CloseLogsChangesAndTheFileIsWrittenWhenTheDialogGoes) {
    for (const bool change : {false, true}) {
        SCOPED_TRACE(change ? "changed" : "unchanged");
        std::filesystem::remove(folder_.path() / WorkLogFileName(kNow));
        std::filesystem::remove(folder_.path() / "netini.pdt");
        AdjNetModel m(base_, settings, networkOn, links, listening);
        m.FormShow();
        if (change) {
            networkOn = false;
            m.SetEditText(1, 2, "192.168.0.7");
        }
        m.FormClose();
        m.FormDestroy();
        m.FormDestroy();
        std::vector<std::string> expected{Opened()};
        if (change) {
            expected.push_back(Changed());
        }
        expected.push_back(Closed());
        EXPECT_EQ(LogLines(), expected);
        SettingsState read;
        LoadNetIni(base_, read);
        EXPECT_EQ(read.ServerPort, settings.ServerPort);
        EXPECT_EQ(read.RemAddresses[0], change ? "192.168.0.7" : "");
        EXPECT_TRUE(std::filesystem::exists(folder_.path() / "netini.pdt"));
    }
}

} // namespace
} // namespace network_test
