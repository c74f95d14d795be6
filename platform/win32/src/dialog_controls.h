// The controls of a running dialog: each one a window of the window table that answers the
// control messages of its kind (text, check state, list entries, scroll position).
#pragma once

#include "platform/dialog_host.h"
#include "platform/window_table.h"
#include "resource_format.h"

#include <string>
#include <vector>

namespace platform::dialogs {

class ControlWindow final : public Window, public DialogControl {
public:
    explicit ControlWindow(const resources::DialogControl& from);

    void attach(HWND hwnd) { hwnd_ = hwnd; }
    LRESULT send(UINT msg, WPARAM wparam, LPARAM lparam) override;

    int id() const override { return id_; }
    Kind kind() const override { return kind_; }
    DWORD style() const override { return style_; }
    HWND hwnd() const override { return hwnd_; }
    int x() const override { return x_; }
    int y() const override { return y_; }
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::string text() const override { return text_; }
    bool enabled() const override;
    bool visible() const override;
    bool checked() const override { return checked_; }
    std::vector<Item> items() const override { return items_; }
    int selection() const override { return selection_; }
    std::vector<int> tab_stops() const override { return tab_stops_; }
    int scroll_pos() const override { return pos_; }
    int scroll_min() const override { return min_; }
    int scroll_max() const override { return max_; }

    bool is_button() const;
    bool is_list() const { return kind_ == Kind::list_box || kind_ == Kind::combo_box; }
    void set_checked(bool on) { checked_ = on; }
    void set_text(std::string text) { text_ = std::move(text); }
    // Selects `index` (-1: none); false when out of range.
    bool set_selection(int index);
    int set_scroll_pos(int pos); // clamped; returns the previous position
    void set_scroll_range(int min, int max);

private:
    LRESULT list_message(UINT msg, WPARAM wparam, LPARAM lparam);
    int insert(int index, const char* text);

    int id_;
    Kind kind_;
    DWORD style_;
    HWND hwnd_ = nullptr;
    int x_, y_, width_, height_;
    std::string text_;
    bool checked_ = false;
    std::vector<Item> items_;
    int selection_ = -1;
    std::vector<int> tab_stops_;
    int pos_ = 0, min_ = 0, max_ = 100;
};

} // namespace platform::dialogs
