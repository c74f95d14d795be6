// DialogBoxParamA and the calls on a running dialog and its controls.
#include "dialog_controls.h"
#include "platform/cp1251.h"
#include "platform/dialog_host.h"
#include "platform/modules.h"
#include "resource_format.h"
#include "win32/dialog_box.h"
#include "win32/dialogs.h"
#include "win32/errors.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>

namespace platform {
namespace {

using dialogs::ControlWindow;
using Kind = DialogControl::Kind;

class DialogWindow final : public Window, public Dialog {
public:
    DialogWindow(const resources::DialogTemplate& from, DLGPROC proc)
        : template_id_(from.id), caption_(cp1251::from_utf16(from.caption)),
          font_(cp1251::from_utf16(from.font)), point_size_(from.point_size), width_(from.width),
          height_(from.height), proc_(proc) {
        for (const auto& c : from.controls) {
            controls_.push_back(std::make_shared<ControlWindow>(c));
        }
    }

    void attach(HWND hwnd) { hwnd_ = hwnd; }
    const std::vector<std::shared_ptr<ControlWindow>>& control_windows() const { return controls_; }
    void end(INT_PTR result) {
        ended_ = true;
        result_ = result;
    }

    // Window
    LRESULT send(UINT msg, WPARAM wparam, LPARAM lparam) override {
        switch (msg) {
        case WM_SETTEXT:
            caption_ =
                reinterpret_cast<const char*>(lparam) ? reinterpret_cast<const char*>(lparam) : "";
            return TRUE;
        case WM_GETTEXT: {
            auto* out = reinterpret_cast<char*>(lparam);
            if (out == nullptr || wparam == 0) {
                return 0;
            }
            const std::size_t n = std::min(caption_.size(), std::size_t(wparam - 1));
            std::memcpy(out, caption_.data(), n);
            out[n] = '\0';
            return LRESULT(n);
        }
        case WM_GETTEXTLENGTH:
            return LRESULT(caption_.size());
        default:
            return proc_(hwnd_, msg, wparam, lparam);
        }
    }
    bool top_level() const override { return true; }

    // Dialog
    HWND hwnd() const override { return hwnd_; }
    std::uint32_t template_id() const override { return template_id_; }
    std::string caption() const override { return caption_; }
    std::string font() const override { return font_; }
    int point_size() const override { return point_size_; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::vector<const DialogControl*> controls() const override {
        std::vector<const DialogControl*> out;
        for (const auto& c : controls_) {
            out.push_back(c.get());
        }
        return out;
    }
    const DialogControl* control(int id) const override { return find(id); }
    bool ended() const override { return ended_; }
    INT_PTR result() const override { return result_; }

    void click(int id) override {
        ControlWindow* c = usable(id);
        if (c == nullptr || !c->is_button()) {
            return;
        }
        if (c->kind() == Kind::check_box) {
            c->set_checked(!c->checked());
        } else if (c->kind() == Kind::radio_button) {
            check_in_group(*c);
        }
        notify(*c, BN_CLICKED);
    }
    void type(int id, const std::string& text) override {
        ControlWindow* c = usable(id);
        if (c == nullptr || c->kind() != Kind::edit || (c->style() & 0x0800u)) {
            return;
        }
        c->set_text(text);
        notify(*c, EN_CHANGE);
    }
    void leave(int id) override {
        ControlWindow* c = usable(id);
        if (c != nullptr && c->kind() == Kind::edit) {
            notify(*c, EN_KILLFOCUS);
        }
    }
    void select(int id, int index) override {
        ControlWindow* c = usable(id);
        if (c == nullptr || !c->is_list() || index < 0 || index >= int(c->items().size())) {
            return;
        }
        c->set_selection(index);
        notify(*c, c->kind() == Kind::combo_box ? CBN_SELCHANGE : LBN_SELCHANGE);
    }
    void double_click(int id, int index) override {
        ControlWindow* c = usable(id);
        if (c == nullptr || c->kind() != Kind::list_box) {
            return;
        }
        select(id, index);
        if (!ended_ && c->selection() == index) {
            notify(*c, LBN_DBLCLK);
        }
    }
    void scroll(int id, int code, int thumb) override {
        ControlWindow* c = usable(id);
        if (c != nullptr && c->kind() == Kind::scroll_bar) {
            send(WM_HSCROLL, MAKEWPARAM(WORD(code), WORD(thumb)),
                 reinterpret_cast<LPARAM>(c->hwnd()));
        }
    }
    void close() override {
        const ControlWindow* cancel = find(IDCANCEL);
        send(WM_COMMAND, MAKEWPARAM(WORD(IDCANCEL), WORD(BN_CLICKED)),
             reinterpret_cast<LPARAM>(cancel ? cancel->hwnd() : nullptr));
    }

    ControlWindow* find(int id) const {
        for (const auto& c : controls_) {
            if (c->id() == id) {
                return c.get();
            }
        }
        return nullptr;
    }

private:
    // The control an operator can reach now: it exists, shows and is enabled, and the dialog
    // is still running.
    ControlWindow* usable(int id) const {
        ControlWindow* c = find(id);
        return !ended_ && c != nullptr && c->enabled() && c->visible() ? c : nullptr;
    }
    void notify(const ControlWindow& c, int code) {
        send(WM_COMMAND, MAKEWPARAM(WORD(c.id()), WORD(code)), reinterpret_cast<LPARAM>(c.hwnd()));
    }
    // Checks `chosen` and unchecks the other radio buttons of its group: the controls from
    // the last one marked WS_GROUP up to the next one so marked.
    void check_in_group(ControlWindow& chosen) {
        constexpr DWORD kGroup = 0x00020000u;
        std::size_t at = 0;
        while (controls_[at].get() != &chosen) {
            ++at;
        }
        std::size_t first = at;
        while (first > 0 && !(controls_[first]->style() & kGroup)) {
            --first;
        }
        for (std::size_t k = first; k < controls_.size(); ++k) {
            if (k > first && (controls_[k]->style() & kGroup)) {
                break;
            }
            if (controls_[k]->kind() == Kind::radio_button) {
                controls_[k]->set_checked(controls_[k].get() == &chosen);
            }
        }
    }

    std::uint32_t template_id_;
    std::string caption_, font_;
    int point_size_, width_, height_;
    DLGPROC proc_;
    HWND hwnd_ = nullptr;
    std::vector<std::shared_ptr<ControlWindow>> controls_;
    bool ended_ = false;
    INT_PTR result_ = 0;
};

// Without a host every dialog ends at once with IDCANCEL.
class NoDialogHost final : public DialogHost {
public:
    void run(Dialog& dialog, HWND) override {
        std::cerr << "[dialog] " << dialog.caption() << ": no dialog host, cancelled\n";
    }
};

std::mutex state_mutex;
std::shared_ptr<DialogHost>& installed_host() {
    static auto* host = new std::shared_ptr<DialogHost>;
    return *host;
}
std::vector<HWND>& running() {
    static auto* open = new std::vector<HWND>;
    return *open;
}

std::optional<resources::DialogTemplate> load_template(HINSTANCE module, std::uint32_t id) {
    const auto path = module_file(module);
    if (path.empty()) {
        return std::nullopt;
    }
    const auto block = resources::read_block(path);
    if (!block) {
        return std::nullopt;
    }
    const auto records = resources::records(*block); // read_block checked them
    for (const auto& r : *records) {
        if (r.kind != resources::kDialog) {
            continue;
        }
        auto d = resources::dialog_at(*block, r);
        if (d && d->id == id) {
            return d;
        }
    }
    return std::nullopt;
}

DialogWindow* dialog_of(HWND hwnd) {
    return dynamic_cast<DialogWindow*>(lookup_window(hwnd).get());
}

ControlWindow* item_of(HWND dialog, int id) {
    DialogWindow* d = dialog_of(dialog);
    return d ? d->find(id) : nullptr;
}

// Takes the dialog's windows out of the table and the running list, however the run ends.
class RunningDialog {
public:
    explicit RunningDialog(std::shared_ptr<DialogWindow> dialog) : dialog_(std::move(dialog)) {
        for (const auto& c : dialog_->control_windows()) {
            WindowPlacement p;
            p.visible = (c->style() & WS_VISIBLE) != 0;
            p.enabled = (c->style() & 0x08000000u) == 0; // WS_DISABLED
            p.x = c->x();
            p.y = c->y();
            p.width = c->width();
            p.height = c->height();
            c->attach(register_window(c, p));
        }
        WindowPlacement p;
        p.visible = true;
        p.width = dialog_->width();
        p.height = dialog_->height();
        dialog_->attach(register_window(dialog_, p));
        std::lock_guard lock(state_mutex);
        running().push_back(dialog_->hwnd());
    }
    ~RunningDialog() {
        {
            std::lock_guard lock(state_mutex);
            std::erase(running(), dialog_->hwnd());
        }
        for (const auto& c : dialog_->control_windows()) {
            unregister_window(c->hwnd());
        }
        unregister_window(dialog_->hwnd());
    }
    RunningDialog(const RunningDialog&) = delete;
    RunningDialog& operator=(const RunningDialog&) = delete;

private:
    std::shared_ptr<DialogWindow> dialog_;
};

} // namespace

std::shared_ptr<DialogHost> set_dialog_host(std::shared_ptr<DialogHost> host) {
    std::lock_guard lock(state_mutex);
    auto previous = std::move(installed_host());
    installed_host() = std::move(host);
    return previous;
}

std::shared_ptr<DialogHost> dialog_host() {
    std::lock_guard lock(state_mutex);
    if (installed_host()) {
        return installed_host();
    }
    static auto* fallback = new std::shared_ptr<DialogHost>(std::make_shared<NoDialogHost>());
    return *fallback;
}

std::vector<HWND> open_dialogs() {
    std::lock_guard lock(state_mutex);
    return running();
}

} // namespace platform

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    if (lpDialogFunc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (!IS_INTRESOURCE(lpTemplateName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    const auto id = std::uint32_t(reinterpret_cast<ULONG_PTR>(lpTemplateName));
    const auto from = platform::load_template(hInstance, id);
    if (!from) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    auto dialog = std::make_shared<platform::DialogWindow>(*from, lpDialogFunc);
    platform::RunningDialog running(dialog);
    HWND focus = nullptr;
    for (const auto& c : dialog->control_windows()) {
        if ((c->style() & 0x00010000u) && c->enabled() && c->visible()) { // WS_TABSTOP
            focus = c->hwnd();
            break;
        }
    }
    dialog->send(WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), dwInitParam);
    if (!dialog->ended()) {
        platform::dialog_host()->run(*dialog, hWndParent);
    }
    if (!dialog->ended()) {
        dialog->end(IDCANCEL);
    }
    dialog->send(WM_DESTROY, 0, 0);
    return dialog->result();
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    auto* dialog = platform::dialog_of(hDlg);
    if (dialog == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    dialog->end(nResult);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    auto* control = platform::item_of(hDlg, nIDDlgItem);
    return control ? control->hwnd() : nullptr;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    auto* control =
        dynamic_cast<platform::dialogs::ControlWindow*>(platform::lookup_window(hWnd).get());
    return control ? control->id() : 0;
}

LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                   LPARAM lParam) {
    return SendMessageA(GetDlgItem(hDlg, nIDDlgItem), Msg, wParam, lParam);
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    return SetWindowTextA(GetDlgItem(hDlg, nIDDlgItem), lpString);
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    return UINT(GetWindowTextA(GetDlgItem(hDlg, nIDDlgItem), lpString, cchMax));
}

BOOL WINAPI SetDlgItemInt(HWND hDlg, int nIDDlgItem, UINT uValue, BOOL bSigned) {
    char text[16];
    if (bSigned) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(uValue));
    } else {
        std::snprintf(text, sizeof text, "%u", uValue);
    }
    return SetDlgItemTextA(hDlg, nIDDlgItem, text);
}

UINT WINAPI GetDlgItemInt(HWND hDlg, int nIDDlgItem, BOOL* lpTranslated, BOOL bSigned) {
    if (lpTranslated) {
        *lpTranslated = FALSE;
    }
    const auto* control = platform::item_of(hDlg, nIDDlgItem);
    if (control == nullptr) {
        return 0;
    }
    const std::string text = control->text();
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
    bool negative = false;
    if (bSigned && at < text.size() && text[at] == '-') {
        negative = true;
        ++at;
    }
    const std::size_t digits = at;
    unsigned long long value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + unsigned(text[at] - '0');
        if (value > 0xFFFFFFFFull) {
            return 0;
        }
        ++at;
    }
    const bool any = at > digits;
    while (at < text.size() && text[at] == ' ') {
        ++at;
    }
    if (!any || at != text.size()) {
        return 0;
    }
    if (bSigned && value > (negative ? 0x80000000ull : 0x7FFFFFFFull)) {
        return 0;
    }
    if (lpTranslated) {
        *lpTranslated = TRUE;
    }
    return negative ? UINT(0u - UINT(value)) : UINT(value);
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    HWND button = GetDlgItem(hDlg, nIDButton);
    if (button == nullptr) {
        return FALSE;
    }
    SendMessageA(button, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    return UINT(SendDlgItemMessageA(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    if (platform::dialog_of(hDlg) == nullptr) {
        return FALSE;
    }
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id) {
        SendDlgItemMessageA(hDlg, id, BM_SETCHECK,
                            id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}
}
