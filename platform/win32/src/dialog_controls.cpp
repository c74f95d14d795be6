#include "dialog_controls.h"

#include "platform/cp1251.h"
#include "win32/dialog_box.h"

#include <algorithm>
#include <cstring>

namespace platform::dialogs {
namespace {

constexpr DWORD kSorted = 0x0002u;   // LBS_SORT
constexpr DWORD kTabStops = 0x0080u; // LBS_USETABSTOPS
constexpr DWORD kReadOnly = 0x0800u; // ES_READONLY

// The list operations; list boxes and combo boxes name them with different numbers.
enum class Op {
    add,
    insert,
    remove,
    reset,
    set_sel,
    get_sel,
    get_text,
    text_len,
    count,
    get_data,
    set_data,
    find_exact,
    tab_stops,
    none
};

Op list_op(UINT msg) {
    switch (msg) {
    case LB_ADDSTRING:
    case CB_ADDSTRING:
        return Op::add;
    case LB_INSERTSTRING:
    case CB_INSERTSTRING:
        return Op::insert;
    case LB_DELETESTRING:
    case CB_DELETESTRING:
        return Op::remove;
    case LB_RESETCONTENT:
    case CB_RESETCONTENT:
        return Op::reset;
    case LB_SETCURSEL:
    case CB_SETCURSEL:
        return Op::set_sel;
    case LB_GETCURSEL:
    case CB_GETCURSEL:
        return Op::get_sel;
    case LB_GETTEXT:
    case CB_GETLBTEXT:
        return Op::get_text;
    case LB_GETTEXTLEN:
    case CB_GETLBTEXTLEN:
        return Op::text_len;
    case LB_GETCOUNT:
    case CB_GETCOUNT:
        return Op::count;
    case LB_GETITEMDATA:
    case CB_GETITEMDATA:
        return Op::get_data;
    case LB_SETITEMDATA:
    case CB_SETITEMDATA:
        return Op::set_data;
    case LB_FINDSTRINGEXACT:
    case CB_FINDSTRINGEXACT:
        return Op::find_exact;
    case LB_SETTABSTOPS:
        return Op::tab_stops;
    default:
        return Op::none;
    }
}

// Case-insensitive order of the ANSI code page, as sorted lists use it.
int compare_text(const std::string& a, const std::string& b) {
    const std::u16string ua = cp1251::to_utf16(a), ub = cp1251::to_utf16(b);
    auto fold = [](char16_t c) -> char16_t {
        if (c >= u'a' && c <= u'z') {
            return char16_t(c - 32);
        }
        if (c >= 0x0430 && c <= 0x044F) { // Cyrillic lower case
            return char16_t(c - 0x20);
        }
        return c;
    };
    for (std::size_t i = 0; i < ua.size() && i < ub.size(); ++i) {
        if (fold(ua[i]) != fold(ub[i])) {
            return fold(ua[i]) < fold(ub[i]) ? -1 : 1;
        }
    }
    return ua.size() == ub.size() ? 0 : ua.size() < ub.size() ? -1 : 1;
}

const char* text_of(LPARAM lparam) {
    const auto* text = reinterpret_cast<const char*>(lparam);
    return text ? text : "";
}

} // namespace

ControlWindow::ControlWindow(const resources::DialogControl& from)
    : id_(int(from.id)), kind_(Kind(from.kind)), style_(from.style), x_(from.x), y_(from.y),
      width_(from.width), height_(from.height), text_(cp1251::from_utf16(from.text)) {
    if (kind_ == Kind::list_box || kind_ == Kind::combo_box || kind_ == Kind::scroll_bar) {
        text_.clear();
    }
}

bool ControlWindow::enabled() const {
    return IsWindowEnabled(hwnd_) != FALSE;
}

bool ControlWindow::visible() const {
    return IsWindowVisible(hwnd_) != FALSE;
}

bool ControlWindow::is_button() const {
    return kind_ == Kind::push_button || kind_ == Kind::default_button ||
           kind_ == Kind::check_box || kind_ == Kind::radio_button;
}

bool ControlWindow::set_selection(int index) {
    if (index < -1 || index >= int(items_.size())) {
        selection_ = -1;
        return false;
    }
    selection_ = index;
    return true;
}

int ControlWindow::set_scroll_pos(int pos) {
    const int previous = pos_;
    pos_ = std::clamp(pos, min_, std::max(min_, max_));
    return previous;
}

void ControlWindow::set_scroll_range(int min, int max) {
    min_ = min;
    max_ = max;
    set_scroll_pos(pos_);
}

int ControlWindow::insert(int index, const char* text) {
    Item item{text, 0};
    if (index < 0 || index > int(items_.size())) {
        index = int(items_.size());
    }
    if (index > int(items_.size())) {
        return LB_ERR;
    }
    items_.insert(items_.begin() + index, std::move(item));
    if (selection_ >= index) {
        ++selection_;
    }
    return index;
}

LRESULT ControlWindow::send(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_SETTEXT:
        text_ = text_of(lparam);
        return TRUE;
    case WM_GETTEXT: {
        auto* out = reinterpret_cast<char*>(lparam);
        if (out == nullptr || wparam == 0) {
            return 0;
        }
        const std::size_t n = std::min(text_.size(), std::size_t(wparam - 1));
        std::memcpy(out, text_.data(), n);
        out[n] = '\0';
        return LRESULT(n);
    }
    case WM_GETTEXTLENGTH:
        return LRESULT(text_.size());
    case BM_GETCHECK:
        return is_button() && checked_ ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
        if (kind_ == Kind::check_box || kind_ == Kind::radio_button) {
            checked_ = wparam == BST_CHECKED;
        }
        return 0;
    default:
        return is_list() ? list_message(msg, wparam, lparam) : 0;
    }
}

LRESULT ControlWindow::list_message(UINT msg, WPARAM wparam, LPARAM lparam) {
    const Op op = list_op(msg);
    const bool combo = kind_ == Kind::combo_box;
    if (op == Op::none || (combo && op == Op::tab_stops)) {
        return 0;
    }
    const int index = int(static_cast<INT_PTR>(wparam));
    const bool valid = index >= 0 && index < int(items_.size());
    switch (op) {
    case Op::add: {
        const char* text = text_of(lparam);
        int at = int(items_.size());
        if (!combo && (style_ & kSorted)) {
            at = 0;
            while (at < int(items_.size()) && compare_text(items_[at].text, text) <= 0) {
                ++at;
            }
        }
        return insert(at, text);
    }
    case Op::insert:
        return insert(index, text_of(lparam));
    case Op::remove:
        if (!valid) {
            return LB_ERR;
        }
        items_.erase(items_.begin() + index);
        if (selection_ == index) {
            selection_ = -1;
        } else if (selection_ > index) {
            --selection_;
        }
        return LRESULT(items_.size());
    case Op::reset:
        items_.clear();
        selection_ = -1;
        return combo ? CB_OKAY : LB_OKAY;
    case Op::set_sel:
        return set_selection(index) ? index : LB_ERR;
    case Op::get_sel:
        return selection_;
    case Op::get_text: {
        auto* out = reinterpret_cast<char*>(lparam);
        if (!valid || out == nullptr) {
            return LB_ERR;
        }
        std::memcpy(out, items_[index].text.c_str(), items_[index].text.size() + 1);
        return LRESULT(items_[index].text.size());
    }
    case Op::text_len:
        return valid ? LRESULT(items_[index].text.size()) : LB_ERR;
    case Op::count:
        return LRESULT(items_.size());
    case Op::get_data:
        return valid ? items_[index].data : LB_ERR;
    case Op::set_data:
        if (!valid) {
            return LB_ERR;
        }
        items_[index].data = lparam;
        return LB_OKAY;
    case Op::find_exact: {
        const std::string text = text_of(lparam);
        const int n = int(items_.size());
        const int start = valid ? index + 1 : 0;
        for (int k = 0; k < n; ++k) {
            const int at = (start + k) % n;
            if (compare_text(items_[at].text, text) == 0) {
                return at;
            }
        }
        return LB_ERR;
    }
    case Op::tab_stops: {
        if (!(style_ & kTabStops)) {
            return FALSE;
        }
        const auto* stops = reinterpret_cast<const int*>(lparam);
        if (wparam > 0 && stops == nullptr) {
            return FALSE;
        }
        tab_stops_.assign(stops, stops + (wparam > 256 ? 256 : wparam));
        return TRUE;
    }
    case Op::none:
        break;
    }
    return 0;
}

} // namespace platform::dialogs

namespace {

platform::dialogs::ControlWindow* scroll_bar(HWND hwnd, int bar) {
    if (bar != SB_CTL) {
        return nullptr;
    }
    auto* control =
        dynamic_cast<platform::dialogs::ControlWindow*>(platform::lookup_window(hwnd).get());
    return control && control->kind() == platform::DialogControl::Kind::scroll_bar ? control
                                                                                   : nullptr;
}

} // namespace

extern "C" {

int WINAPI SetScrollPos(HWND hWnd, int nBar, int nPos, BOOL) {
    auto* bar = scroll_bar(hWnd, nBar);
    return bar ? bar->set_scroll_pos(nPos) : 0;
}

int WINAPI GetScrollPos(HWND hWnd, int nBar) {
    auto* bar = scroll_bar(hWnd, nBar);
    return bar ? bar->scroll_pos() : 0;
}

BOOL WINAPI SetScrollRange(HWND hWnd, int nBar, int nMinPos, int nMaxPos, BOOL) {
    auto* bar = scroll_bar(hWnd, nBar);
    if (bar == nullptr) {
        return FALSE;
    }
    bar->set_scroll_range(nMinPos, nMaxPos);
    return TRUE;
}

BOOL WINAPI GetScrollRange(HWND hWnd, int nBar, int* lpMinPos, int* lpMaxPos) {
    auto* bar = scroll_bar(hWnd, nBar);
    if (bar == nullptr || lpMinPos == nullptr || lpMaxPos == nullptr) {
        return FALSE;
    }
    *lpMinPos = bar->scroll_min();
    *lpMaxPos = bar->scroll_max();
    return TRUE;
}
}
