// The installer dialog's behaviour, without widgets: its controls' state, the start-up, the two
// drop-down lists' rules and the buttons. The Qt dialog shows this state and forwards events.
#pragma once

#include "installer.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace setup {

class SetupDialogModel : public InstallerControls {
public:
    SetupDialogModel();

    // Events of the dialog.
    void OnInitDialog();
    void OnInstall() { installer_.OnInstall(); }
    void OnRemove() { installer_.OnRemove(); }
    void OnDeviceCountChange(int position);
    void OnFirstIndexChange(int position);
    void OnClose();
    void set_remove_devices(bool ticked);

    // State shown by the controls (texts CP1251).
    const std::string& status() const { return status_; }
    const std::vector<std::string>& first_slot_items() const { return first_items_; }
    int first_slot_selection() const { return first_selection_; }
    const std::vector<std::string>& device_count_items() const { return count_items_; }
    int device_count_selection() const { return count_selection_; }
    bool remove_devices_enabled() const { return check_enabled_; }
    bool button_enabled(Button button) const { return buttons_[static_cast<int>(button)]; }
    // False when start-up stopped early (not an NT-line system): no control takes the focus.
    bool focus_allowed() const { return focus_allowed_; }

    const InstallerSettings& settings() const { return installer_.settings; }
    const Installer& installer() const { return installer_; }

    // InstallerControls.
    void set_status(const std::string& text) override;
    void enable_button(Button button, bool enabled) override;
    bool remove_devices_ticked() const override { return check_ticked_; }
    HWND window() const override { return window_; }
    void set_window(HWND window) { window_ = window; }

    // Called after every change of the shown state.
    std::function<void()> on_changed;
    // The system's version information (GetVersionExA; tests put another system here).
    std::function<BOOL(LPOSVERSIONINFOA)> read_version = GetVersionExA;

private:
    void changed();

    Installer installer_;
    std::string status_;
    std::vector<std::string> first_items_{"0", "1", "2"};
    int first_selection_ = -1;
    std::vector<std::string> count_items_;
    int count_selection_ = -1;
    bool check_enabled_ = true;
    bool check_ticked_ = false;
    bool buttons_[3] = {true, true, true};
    bool focus_allowed_ = true;
    HWND window_ = nullptr;
};

} // namespace setup
