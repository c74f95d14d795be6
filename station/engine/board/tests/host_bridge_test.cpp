#include "board/host_bridge.h"

#include "base/tests/program_dir_fixture.h"
#include "fake_board.h"
#include "base/language.h"
#include "base/local_clock.h"
#include "base/work_log.h"

namespace station {
namespace {

using test::FakeBoard;

class HostBridgeTest : public test::ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        base_.ReportFlags.fill(true);
        base_.LocalClock = ([] { return LocalDateTime{2026, 3, 10, 9, 5, 3, 0}; });
        std::string text;
        for (int i = 0; i < 291; ++i) {
            text += "\n";
        }
        text += "no bridge\nbridge\nbridge fixed\nbridge restored\n";
        base_.LangList.SetText(text);
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

TEST_F(HostBridgeTest, StartUpReadsReportsAndFixesTheBridge) {
    const struct {
        const char* what;
        bool board_control;
        BYTE present;
        DWORD value;
        bool pci_fix;
        std::vector<std::string> calls;
        std::string log;
    } cases[] = {
        {"board control off", false, 1, 0x12, true, {}, "05 09:05:03 no bridge\r\n"},
        {"no bridge", true, 0, 0x12, true, {"TarvoIsBridge()"}, "05 09:05:03 no bridge\r\n"},
        {"bridge, no fix wanted",
         true,
         1,
         0xA0,
         false,
         {"TarvoIsBridge()", "TarvoReadBridgePCIInfo()"},
         "05 09:05:03 bridge 000000A0\r\n"},
        {"bridge with bits 1 and 2 set",
         true,
         1,
         0x8006,
         true,
         {"TarvoIsBridge()", "TarvoReadBridgePCIInfo()"},
         "05 09:05:03 bridge 00008006\r\n"},
        {"bridge fixed",
         true,
         1,
         0xFF02,
         true,
         {"TarvoIsBridge()", "TarvoReadBridgePCIInfo()", "TarvoWriteBridgePCIInfo(65286)"},
         "05 09:05:03 bridge 0000FF02\r\n05 09:05:03 bridge fixed 0000FF06\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path("20260310.rpt"));
        FakeBoard fake;
        fake.bridge_present = c.present;
        fake.bridge_value = c.value;
        BoardLibrary lib;
        if (c.board_control) {
            lib.Bind(test::FakeBoardResolver(fake), {true, true, true, true});
        }
        fake.ClearCalls();
        HostBridge bridge;
        bridge.Read(lib);
        bridge.ReportAndFix(base_, lib, c.pci_fix);
        EXPECT_EQ(fake.calls, c.calls);
        EXPECT_EQ(log(), c.log);
    }
}

TEST_F(HostBridgeTest, ShutDownRestoresAChangedBridgeValue) {
    FakeBoard fake;
    fake.bridge_present = 1;
    fake.bridge_value = 0x10;
    BoardLibrary lib;
    lib.Bind(test::FakeBoardResolver(fake), {true, true, true, true});
    HostBridge bridge;
    bridge.Read(lib);

    fake.ClearCalls();
    bridge.Restore(base_, lib);
    EXPECT_EQ(fake.calls, std::vector<std::string>{"TarvoReadBridgePCIInfo()"});
    EXPECT_EQ(log(), "");

    fake.bridge_value = 0x16;
    fake.ClearCalls();
    bridge.Restore(base_, lib);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"TarvoReadBridgePCIInfo()",
                                                    "TarvoWriteBridgePCIInfo(16)"}));
    EXPECT_EQ(log(), "05 09:05:03 bridge restored 00000010\r\n");
}

} // namespace
} // namespace station
