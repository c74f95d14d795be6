// The dialog manager: templates from the program's resource block (tests/fixtures/
// test_dialogs.dlg), the control messages, the notifications an operator's actions send,
// nested dialogs and the end of a session.
#include "platform/dialog_script.h"
#include "resource_format.h"
#include "win32/dialog_box.h"
#include "win32/dialogs.h"
#include "win32/errors.h"
#include "win32/threads.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using Kind = platform::DialogControl::Kind;

struct Command {
    int id;
    int code;
    bool operator==(const Command&) const = default;
};

// What the test procedure saw, and how it behaves.
struct ProcLog {
    std::vector<UINT> messages;
    std::vector<Command> commands;
    std::vector<std::pair<int, int>> scrolls; // code, position after the move
    LPARAM init_param = 0;
    INT_PTR nested_result = 0;
    std::vector<HWND> open_in_nested;
};
ProcLog* log_ = nullptr;

INT_PTR CALLBACK inner_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    if (msg == WM_COMMAND && LOWORD(wparam) == IDOK) {
        EndDialog(dlg, IDOK);
    }
    if (msg == WM_ENDSESSION && wparam) {
        EndDialog(dlg, IDCANCEL);
    }
    return FALSE;
}

INT_PTR CALLBACK test_proc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    log_->messages.push_back(msg);
    switch (msg) {
    case WM_INITDIALOG: {
        log_->init_param = lparam;
        SetWindowTextA(dlg, "Test Dialog 3");
        CheckRadioButton(dlg, 110, 112, 111);
        SetScrollRange(GetDlgItem(dlg, 130), SB_CTL, 0, 255, FALSE);
        SetScrollPos(GetDlgItem(dlg, 130), SB_CTL, 128, TRUE);
        for (const char* text : {"b\tsecond", "C\tthird", "a\tfirst"}) {
            const auto at = SendDlgItemMessageA(dlg, 150, LB_ADDSTRING, 0, LPARAM(text));
            SendDlgItemMessageA(dlg, 150, LB_SETITEMDATA, WPARAM(at), LPARAM(text[0]));
        }
        const int stops[] = {40, 60};
        SendDlgItemMessageA(dlg, 150, LB_SETTABSTOPS, 2, LPARAM(stops));
        for (const char* text : {"PAL", "SECAM"}) {
            const auto at = SendDlgItemMessageA(dlg, 160, CB_ADDSTRING, 0, LPARAM(text));
            SendDlgItemMessageA(dlg, 160, CB_SETITEMDATA, WPARAM(at), at == 0 ? 3 : 6);
        }
        SendDlgItemMessageA(dlg, 160, CB_SETCURSEL, 1, 0);
        ShowWindow(GetDlgItem(dlg, 180), SW_SHOW);
        return TRUE;
    }
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        log_->commands.push_back({id, HIWORD(wparam)});
        EXPECT_EQ(HWND(lparam), GetDlgItem(dlg, id));
        if (id == IDOK || id == IDCANCEL) {
            EndDialog(dlg, id);
        } else if (id == 180) {
            log_->nested_result =
                DialogBoxParamA(nullptr, MAKEINTRESOURCEA(101), dlg, inner_proc, 0);
        }
        return TRUE;
    }
    case WM_HSCROLL: {
        HWND bar = HWND(lparam);
        int pos = GetScrollPos(bar, SB_CTL);
        switch (LOWORD(wparam)) {
        case SB_LINELEFT:
            pos -= 1;
            break;
        case SB_LINERIGHT:
            pos += 1;
            break;
        case SB_THUMBTRACK:
            pos = HIWORD(wparam);
            break;
        default:
            break;
        }
        SetScrollPos(bar, SB_CTL, pos, TRUE);
        log_->scrolls.emplace_back(LOWORD(wparam), GetScrollPos(bar, SB_CTL));
        return TRUE;
    }
    case WM_ENDSESSION:
        if (wparam) {
            EndDialog(dlg, IDCANCEL);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

class DialogManagerTest : public ::testing::Test {
protected:
    DialogManagerTest() : host_(std::make_shared<platform::HeadlessDialogHost>()), scope_(host_) {
        log_ = &log;
    }
    ~DialogManagerTest() override { log_ = nullptr; }

    INT_PTR run(platform::HeadlessDialogHost::Script script, LPARAM param = 0) {
        host_->on(100, std::move(script));
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(100), nullptr, test_proc, param);
    }

    ProcLog log;
    std::shared_ptr<platform::HeadlessDialogHost> host_;
    platform::ScopedDialogHost scope_;
};

TEST_F(DialogManagerTest, TemplateLoadsWithItsControlsAndTexts) {
    const INT_PTR result = run(
        [](platform::Dialog& d) {
            EXPECT_EQ(d.caption(), "Test Dialog 3");
            EXPECT_EQ(d.font(), "MS Sans Serif");
            EXPECT_EQ(d.point_size(), 8);
            EXPECT_EQ(d.width(), 200);
            EXPECT_EQ(d.height(), 140);
            ASSERT_EQ(d.controls().size(), 14u);
            struct Expect {
                int id;
                Kind kind;
                const char* text;
                bool enabled, visible;
            };
            const Expect table[] = {
                {900, Kind::group_box, "Group", true, true},
                {110, Kind::radio_button, "&A", true, true},
                {120, Kind::check_box, "Box", true, true},
                {130, Kind::scroll_bar, "", true, true},
                {140, Kind::edit, "7", true, true},
                {141, Kind::edit, "", false, true},
                {150, Kind::list_box, "", true, true},
                {160, Kind::combo_box, "", true, true},
                {170, Kind::static_text, "Label text", true, true},
                {180, Kind::push_button, "&Nested", true, true}, // shown by WM_INITDIALOG
                {1, Kind::default_button, "OK", true, true},
                {2, Kind::push_button, "Cancel", true, true},
            };
            for (const auto& e : table) {
                SCOPED_TRACE(e.id);
                const auto* c = d.control(e.id);
                ASSERT_NE(c, nullptr);
                EXPECT_EQ(c->kind(), e.kind);
                EXPECT_EQ(c->text(), e.text);
                EXPECT_EQ(c->enabled(), e.enabled);
                EXPECT_EQ(c->visible(), e.visible);
                EXPECT_EQ(GetDlgCtrlID(c->hwnd()), e.id);
                EXPECT_EQ(GetDlgItem(d.hwnd(), e.id), c->hwnd());
            }
            const auto* ok = d.control(1);
            EXPECT_EQ(ok->x(), 5);
            EXPECT_EQ(ok->y(), 120);
            EXPECT_EQ(ok->width(), 40);
            EXPECT_EQ(ok->height(), 14);
            EXPECT_NE(d.control(141)->style() & 0x0800u, 0u) << "read-only";
            // The dialog belongs to the thread that made it, whoever asks.
            const DWORD self = GetCurrentThreadId();
            EXPECT_EQ(GetWindowThreadProcessId(d.hwnd(), nullptr), self);
            DWORD other = 0;
            std::thread([&] { other = GetWindowThreadProcessId(d.hwnd(), nullptr); }).join();
            EXPECT_EQ(other, self);
            EXPECT_EQ(GetWindowThreadProcessId(nullptr, nullptr), 0u);
            EXPECT_EQ(d.control(999), nullptr);
            EXPECT_EQ(GetDlgItem(d.hwnd(), 999), nullptr);
            EXPECT_EQ(d.control(130)->scroll_pos(), 128);
            EXPECT_EQ(d.control(130)->scroll_max(), 255);
            EXPECT_TRUE(d.control(111)->checked());
            EXPECT_FALSE(d.control(110)->checked());
        },
        42);
    EXPECT_EQ(result, IDCANCEL) << "a script that does not end the dialog cancels it";
    EXPECT_EQ(log.init_param, 42);
    ASSERT_FALSE(log.messages.empty());
    EXPECT_EQ(log.messages.front(), WM_INITDIALOG);
    EXPECT_EQ(log.messages.back(), WM_DESTROY);
    ASSERT_EQ(host_->runs().size(), 1u);
    EXPECT_EQ(host_->runs()[0].caption, "Test Dialog 3");
    EXPECT_EQ(host_->runs()[0].result, IDCANCEL);
    EXPECT_TRUE(platform::open_dialogs().empty());
}

TEST_F(DialogManagerTest, MissingTemplateOrProcedureFails) {
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(555), nullptr, test_proc, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(DialogBoxParamA(nullptr, "NAMED", nullptr, test_proc, 0), -1);
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(100), nullptr, nullptr, 0), -1);
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(DialogManagerTest, OperatorActionsSendTheirNotifications) {
    const INT_PTR result = run([](platform::Dialog& d) {
        d.click(110); // radio: checks it, unchecks the rest of its group
        EXPECT_TRUE(d.control(110)->checked());
        EXPECT_FALSE(d.control(111)->checked());
        d.click(120);
        EXPECT_TRUE(d.control(120)->checked());
        EXPECT_EQ(IsDlgButtonChecked(d.hwnd(), 120), UINT(BST_CHECKED));
        d.click(120);
        EXPECT_EQ(IsDlgButtonChecked(d.hwnd(), 120), UINT(BST_UNCHECKED));
        d.type(140, "12");
        d.leave(140);
        d.type(141, "x"); // disabled: nothing
        d.select(150, 2);
        d.double_click(150, 0);
        d.select(150, 7); // out of range: nothing
        d.select(160, 0);
        d.scroll(130, SB_LINERIGHT);
        d.scroll(130, SB_THUMBTRACK, 300);
        d.scroll(130, SB_LINELEFT);
        d.click(1);
        d.click(2); // the dialog has ended: nothing
    });
    EXPECT_EQ(result, IDOK);
    const std::vector<Command> expected = {
        {110, BN_CLICKED},    {120, BN_CLICKED},    {120, BN_CLICKED},    {140, EN_CHANGE},
        {140, EN_KILLFOCUS},  {150, LBN_SELCHANGE}, {150, LBN_SELCHANGE}, {150, LBN_DBLCLK},
        {160, CBN_SELCHANGE}, {1, BN_CLICKED},
    };
    EXPECT_EQ(log.commands, expected);
    const std::vector<std::pair<int, int>> scrolls = {
        {SB_LINERIGHT, 129}, {SB_THUMBTRACK, 255}, {SB_LINELEFT, 254}};
    EXPECT_EQ(log.scrolls, scrolls);
}

TEST_F(DialogManagerTest, ControlMessages) {
    run([](platform::Dialog& d) {
        HWND dlg = d.hwnd();
        // Sorted list with item data and tab stops.
        const auto* list = d.control(150);
        ASSERT_EQ(list->items().size(), 3u);
        EXPECT_EQ(list->items()[0].text, "a\tfirst");
        EXPECT_EQ(list->items()[1].text, "b\tsecond");
        EXPECT_EQ(list->items()[2].text, "C\tthird") << "sorted without regard to case";
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_GETITEMDATA, 2, 0), 'C');
        EXPECT_EQ(list->tab_stops(), (std::vector<int>{40, 60}));
        EXPECT_EQ(
            SendDlgItemMessageA(dlg, 150, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("B\tSECOND")), 1);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("zz")),
                  LB_ERR);
        char text[32] = {};
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_GETTEXT, 1, LPARAM(text)), 8);
        EXPECT_STREQ(text, "b\tsecond");
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_GETTEXT, 3, LPARAM(text)), LB_ERR);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_SETCURSEL, 2, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_DELETESTRING, 0, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_GETCURSEL, 0, 0), 1) << "follows its entry";
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_INSERTSTRING, 0, LPARAM("z")), 0);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_GETCURSEL, 0, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_SETCURSEL, 9, 0), LB_ERR);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_GETCURSEL, 0, 0), LB_ERR);
        SendDlgItemMessageA(dlg, 150, LB_RESETCONTENT, 0, 0);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 150, LB_GETCOUNT, 0, 0), 0);

        // Combo box: unsorted, with item data.
        EXPECT_EQ(SendDlgItemMessageA(dlg, 160, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 160, CB_GETITEMDATA, 1, 0), 6);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 160, CB_GETLBTEXTLEN, 1, 0), 5);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 160, CB_GETLBTEXT, 0, LPARAM(text)), 3);
        EXPECT_STREQ(text, "PAL");
        EXPECT_EQ(SendDlgItemMessageA(dlg, 160, CB_GETCOUNT, 0, 0), 2);
        EXPECT_EQ(SendDlgItemMessageA(dlg, 160, LB_SETTABSTOPS, 0, 0), 0) << "lists only";

        // Texts and numbers.
        SetDlgItemTextA(dlg, 170, "new label");
        EXPECT_EQ(GetDlgItemTextA(dlg, 170, text, 4), 3u);
        EXPECT_STREQ(text, "new");
        struct IntCase {
            const char* text;
            BOOL is_signed;
            UINT value;
            BOOL translated;
        };
        const IntCase cases[] = {
            {"12", FALSE, 12, TRUE},
            {" -5 ", TRUE, UINT(-5), TRUE},
            {"-5", FALSE, 0, FALSE},
            {"4294967295", FALSE, 4294967295u, TRUE},
            {"4294967296", FALSE, 0, FALSE},
            {"2147483648", TRUE, 0, FALSE},
            {"-2147483648", TRUE, 0x80000000u, TRUE},
            {"12a", FALSE, 0, FALSE},
            {"", FALSE, 0, FALSE},
            {"-", TRUE, 0, FALSE},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.text);
            SetDlgItemTextA(dlg, 140, c.text);
            BOOL translated = -1;
            EXPECT_EQ(GetDlgItemInt(dlg, 140, &translated, c.is_signed), c.value);
            EXPECT_EQ(translated, c.translated);
        }
        SetDlgItemInt(dlg, 140, UINT(-7), TRUE);
        EXPECT_EQ(d.control(140)->text(), "-7");
        SetDlgItemInt(dlg, 140, UINT(-7), FALSE);
        EXPECT_EQ(d.control(140)->text(), "4294967289");

        // Enabling, check boxes, radio groups, scroll ranges.
        HWND edit = GetDlgItem(dlg, 141);
        EXPECT_FALSE(IsWindowEnabled(edit));
        EXPECT_TRUE(EnableWindow(edit, TRUE)) << "answers: was disabled";
        EXPECT_FALSE(EnableWindow(edit, TRUE));
        EXPECT_TRUE(d.control(141)->enabled());
        CheckDlgButton(dlg, 120, BST_CHECKED);
        EXPECT_TRUE(d.control(120)->checked());
        CheckRadioButton(dlg, 110, 112, 112);
        EXPECT_FALSE(d.control(111)->checked());
        EXPECT_TRUE(d.control(112)->checked());
        HWND bar = GetDlgItem(dlg, 130);
        EXPECT_EQ(SetScrollPos(bar, SB_CTL, 999, TRUE), 128);
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), 255) << "clamped";
        SetScrollRange(bar, SB_CTL, 10, 20, TRUE);
        int min = 0, max = 0;
        EXPECT_TRUE(GetScrollRange(bar, SB_CTL, &min, &max));
        EXPECT_EQ(min, 10);
        EXPECT_EQ(max, 20);
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), 20);
        EXPECT_FALSE(SetScrollRange(edit, SB_CTL, 0, 1, TRUE)) << "not a scroll bar";
    });
}

TEST_F(DialogManagerTest, DisabledAndHiddenControlsIgnoreTheOperator) {
    run([](platform::Dialog& d) {
        EnableWindow(GetDlgItem(d.hwnd(), 120), FALSE);
        d.click(120);
        ShowWindow(GetDlgItem(d.hwnd(), 1), SW_HIDE);
        d.click(1);
        EXPECT_FALSE(d.ended());
        EXPECT_FALSE(d.control(120)->checked());
    });
    EXPECT_TRUE(log.commands.empty());
}

TEST_F(DialogManagerTest, NestedDialogsAndTheEndOfTheSessionEndEveryDialog) {
    host_->on(101, [this](platform::Dialog& inner) {
        log.open_in_nested = platform::open_dialogs();
        EXPECT_EQ(inner.caption(), "Inner");
        SendMessageA(HWND_BROADCAST, WM_ENDSESSION, TRUE, 0);
        EXPECT_TRUE(inner.ended());
    });
    HWND outer = nullptr;
    const INT_PTR result = run([&](platform::Dialog& d) {
        outer = d.hwnd();
        d.click(180);
        EXPECT_TRUE(d.ended()) << "the outer dialog got WM_ENDSESSION too";
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(log.nested_result, IDCANCEL);
    ASSERT_EQ(log.open_in_nested.size(), 2u);
    EXPECT_EQ(log.open_in_nested[0], outer);
    EXPECT_EQ(host_->runs().size(), 2u);
    EXPECT_EQ(host_->runs()[0].template_id, 101u);
    EXPECT_EQ(host_->runs()[0].owner, outer);
    EXPECT_TRUE(platform::open_dialogs().empty());
    EXPECT_FALSE(IsWindow(outer)) << "the dialog's windows leave the table";

    // The inner dialog ends by itself; the outer one keeps running.
    host_->on(101, [](platform::Dialog& inner) { inner.click(IDOK); });
    EXPECT_EQ(run([](platform::Dialog& d) {
                  d.click(180);
                  EXPECT_FALSE(d.ended());
                  d.close();
              }),
              IDCANCEL);
    EXPECT_EQ(log.nested_result, IDOK);
}

TEST(DialogTemplateFormat, RoundTripsAndRejectsTruncatedControls) {
    namespace res = platform::resources;
    res::Block block;
    res::DialogTemplate d;
    d.id = 7;
    d.width = 50;
    d.height = 20;
    d.caption = u"Caption";
    d.font = u"MS Sans Serif";
    d.controls.push_back({1, res::DialogControl::kDefaultButton, 0x10000000u, 1, 2, 3, 4, u"OK"});
    d.controls.push_back({2, res::DialogControl::kEdit, 0x10000800u, -1, 5, 6, 7, u""});
    block.dialogs.push_back(d);
    auto bytes = res::serialise(block);
    const auto back = res::parse(bytes);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->dialogs.size(), 1u);
    const auto& got = back->dialogs[0];
    EXPECT_EQ(got.caption, u"Caption");
    ASSERT_EQ(got.controls.size(), 2u);
    EXPECT_EQ(got.controls[0].text, u"OK");
    EXPECT_EQ(got.controls[1].x, -1);
    EXPECT_EQ(got.controls[1].style, 0x10000800u);

    // A control count beyond the record.
    const auto recs = res::records(bytes);
    ASSERT_TRUE(recs && recs->size() == 1);
    bytes[(*recs)[0].payload + 18] = 3;
    EXPECT_FALSE(res::parse(bytes));
}

} // namespace
