// The one way modal dialogs reach the operator. DialogBoxParamA builds the dialog from its
// template, sends WM_INITDIALOG and hands it to the installed host, which shows it and acts for
// the operator through the Dialog's operator calls until the dialog ends. The program installs
// its window-system host (platform/qtui); tests install a HeadlessDialogHost
// (platform/dialog_script.h). Without one, every dialog ends at once with IDCANCEL.
#pragma once

#include "win32/types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// One control of a running dialog, as a host reads it. Texts are CP1251.
class DialogControl {
public:
    enum class Kind : std::uint16_t {
        push_button = 1,
        default_button = 2,
        check_box = 3,
        radio_button = 4,
        group_box = 5,
        static_text = 6,
        edit = 7,
        list_box = 8,
        combo_box = 9,
        scroll_bar = 10,
    };
    struct Item {
        std::string text;
        LPARAM data = 0;
    };

    virtual ~DialogControl() = default;
    virtual int id() const = 0;
    virtual Kind kind() const = 0;
    virtual DWORD style() const = 0;
    virtual HWND hwnd() const = 0;
    // Place in dialog units, from the template.
    virtual int x() const = 0;
    virtual int y() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual std::string text() const = 0;
    virtual bool enabled() const = 0;
    virtual bool visible() const = 0;
    virtual bool checked() const = 0;
    // Lists and combo boxes.
    virtual std::vector<Item> items() const = 0;
    virtual int selection() const = 0; // -1 for none
    // Tab stops of a list in dialog units (empty: every 32 units).
    virtual std::vector<int> tab_stops() const = 0;
    // Scroll bars.
    virtual int scroll_pos() const = 0;
    virtual int scroll_min() const = 0;
    virtual int scroll_max() const = 0;
};

// A running dialog: what it shows, and the operator's actions, each delivered to the dialog
// procedure as the real control would (on the dialog's thread).
class Dialog {
public:
    virtual ~Dialog() = default;
    virtual HWND hwnd() const = 0;
    virtual std::uint32_t template_id() const = 0;
    virtual std::string caption() const = 0;
    virtual std::string font() const = 0;
    virtual int point_size() const = 0;
    virtual int width() const = 0; // dialog units
    virtual int height() const = 0;
    virtual std::vector<const DialogControl*> controls() const = 0;
    // Null for an unknown identifier.
    virtual const DialogControl* control(int id) const = 0;
    virtual bool ended() const = 0;
    virtual INT_PTR result() const = 0;

    // A button press: a check box toggles, a radio button is checked (the others of its group
    // unchecked), then BN_CLICKED. Ignored for a disabled or hidden control.
    virtual void click(int id) = 0;
    // Typing into an edit: the new text, then EN_CHANGE.
    virtual void type(int id, const std::string& text) = 0;
    // Focus leaving an edit: EN_KILLFOCUS.
    virtual void leave(int id) = 0;
    // Choosing entry `index` of a list or combo box: the selection, then LBN_SELCHANGE or
    // CBN_SELCHANGE.
    virtual void select(int id, int index) = 0;
    // Double-clicking entry `index` of a list: the selection, LBN_SELCHANGE, then LBN_DBLCLK.
    virtual void double_click(int id, int index) = 0;
    // WM_HSCROLL with `code` (SB_...) and the thumb position; the procedure moves the bar.
    virtual void scroll(int id, int code, int thumb = 0) = 0;
    // The window system's close button: WM_COMMAND IDCANCEL.
    virtual void close() = 0;
};

class DialogHost {
public:
    virtual ~DialogHost() = default;
    // Shows `dialog` (WM_INITDIALOG has run) and returns when it has ended; a dialog still
    // running when this returns ends with IDCANCEL.
    virtual void run(Dialog& dialog, HWND owner) = 0;
};

// Installs `host` for the whole process (null restores the default) and returns the previous
// one (null when it was the default).
std::shared_ptr<DialogHost> set_dialog_host(std::shared_ptr<DialogHost> host);
std::shared_ptr<DialogHost> dialog_host();

// The dialogs running now, innermost last.
std::vector<HWND> open_dialogs();

class ScopedDialogHost {
public:
    explicit ScopedDialogHost(std::shared_ptr<DialogHost> host)
        : previous_(set_dialog_host(std::move(host))) {}
    ~ScopedDialogHost() { set_dialog_host(std::move(previous_)); }
    ScopedDialogHost(const ScopedDialogHost&) = delete;
    ScopedDialogHost& operator=(const ScopedDialogHost&) = delete;

private:
    std::shared_ptr<DialogHost> previous_;
};

} // namespace platform
