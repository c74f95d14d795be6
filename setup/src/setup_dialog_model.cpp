#include "setup_dialog_model.h"

#include "installer_support.h"
#include "names.h"
#include "privilege.h"
#include "texts.h"

namespace setup {

SetupDialogModel::SetupDialogModel() : installer_(*this) {
    for (int i = 1; i <= 10; ++i) {
        count_items_.push_back(std::to_string(i));
    }
}

void SetupDialogModel::OnInitDialog() {
    set_status(text::kStatusWelcome);
    first_selection_ = 0;
    installer_.settings.first_slot = 0;
    count_selection_ = 3;
    installer_.settings.device_count = 4;
    changed();

    if (!EnableTokenPrivilege(names::kShutdownPrivilege, true)) {
        MessageBoxA(window_, text::kNoShutdownPrivilege, text::kCaptionAttentionPlain, MB_OK);
    }
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!read_version || !read_version(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        MessageBoxA(window_, text::kNtOnly, text::kCaptionAttentionPlain, MB_OK);
        focus_allowed_ = false;
        changed();
        return;
    }
    installer_.settings.windows_major = version.dwMajorVersion;
    if (version.dwMajorVersion < 5) {
        check_enabled_ = false;
    } else {
        check_ticked_ = false;
    }
    installer_.settings.pci_ids.assign(names::kPciIds.begin(), names::kPciIds.end());
    changed();
}

void SetupDialogModel::OnDeviceCountChange(int position) {
    if (position < 0 || position >= static_cast<int>(count_items_.size())) {
        return;
    }
    count_selection_ = position;
    const int count = position + 1;
    installer_.settings.device_count = count;
    first_items_.clear();
    for (int slot = 0; slot <= 10 - count; ++slot) {
        first_items_.push_back(format("%d", slot));
    }
    if (installer_.settings.first_slot < static_cast<int>(first_items_.size())) {
        first_selection_ = installer_.settings.first_slot;
    } else {
        first_selection_ = 0;
        installer_.settings.first_slot = 0;
    }
    changed();
}

void SetupDialogModel::OnFirstIndexChange(int position) {
    if (position < 0 || position >= static_cast<int>(first_items_.size())) {
        return;
    }
    first_selection_ = position;
    installer_.settings.first_slot = position;
    changed();
}

void SetupDialogModel::OnClose() {
    installer_.settings.pci_ids.clear();
}

void SetupDialogModel::set_remove_devices(bool ticked) {
    if (check_enabled_) {
        check_ticked_ = ticked;
    }
    changed();
}

void SetupDialogModel::set_status(const std::string& text) {
    status_ = text;
    changed();
}

void SetupDialogModel::enable_button(Button button, bool enabled) {
    buttons_[static_cast<int>(button)] = enabled;
    changed();
}

void SetupDialogModel::changed() {
    if (on_changed) {
        on_changed();
    }
}

} // namespace setup
