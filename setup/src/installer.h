// The installer's two operations, Install and Remove, over the platform: files in the current
// folder and the system directory, the registry, the service manager, the device installer,
// message boxes and beeps. The dialog (or the command-line tool) supplies the controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace setup {

enum class Button { Install, Remove, Exit };

// What the operations need of the dialog.
class InstallerControls {
public:
    virtual ~InstallerControls() = default;
    // The status line (CP1251).
    virtual void set_status(const std::string& text) = 0;
    virtual void enable_button(Button button, bool enabled) = 0;
    // The "remove devices" check box.
    virtual bool remove_devices_ticked() const = 0;
    // Owner of the message boxes.
    virtual HWND window() const { return nullptr; }
};

struct InstallerSettings {
    int first_slot = 0;   // 0 to 10 - device_count
    int device_count = 4; // 1 to 10
    DWORD windows_major = 5;
    // The chips' PCI identifiers ("PCI\VEN_109E&DEV_0350", ...); filled by the dialog at start.
    std::vector<std::string> pci_ids;
};

class Installer {
public:
    explicit Installer(InstallerControls& controls) : controls_(controls) {}

    InstallerSettings settings;

    void OnInstall();
    void OnRemove();
    // The device removal of the last operation removed at least one device.
    bool devices_removed() const { return devices_removed_; }

private:
    // The steps of Install; each false return has ended the operation.
    bool copy_capture_driver(const std::string& system_dir);
    bool copy_system_file(const char* name, const std::string& destination);
    bool write_registry();
    void install_service();
    void report_start_failure(DWORD error);
    void report_missing_devices();
    // The steps of Remove.
    void remove_files(const std::string& system_dir, int count);
    void remove_registry_values(int first, int count);
    bool remove_service();
    void remove_devices();

    void status(const std::string& text) { controls_.set_status(text); }
    void fail(const std::string& text);
    int ask(const std::string& text);
    void tell(const std::string& text, const char* caption);
    void offer_restart();

    InstallerControls& controls_;
    bool devices_removed_ = false;
};

} // namespace setup
