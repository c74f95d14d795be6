// The open settings dialogs: each is a single instance, held here while it is open. A menu
// handler opens one only while its entry is empty; the dialog clears its entry when it goes.
// Freeing from outside (a configuration load, the access-status refresh, the shut-down, stealth)
// takes the entry and runs what the window system gave at registration: the dialog's destroy
// actions once, then its deletion later. Which dialogs each path frees is data below.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace station {

enum class SettingsDialog {
    AdjFound,      // per-camera settings
    Stealth,       // stealth and autostart
    PasswordSet,   // passwords and rights
    AdjPlay,       // playback settings
    Prior,         // camera names and priorities
    DiskWriteMode, // disk write mode
    MonControl,    // control-monitor modes
    AdjNet,        // network settings
    AdjGain,       // capture tuning
    AdjHard,       // board I2C map
    Rep,           // work-log settings
    ViewRep,       // work-log viewer
    AdjConf,       // stored configurations and schedule
    CheckPassword, // login
};
inline constexpr int kSettingsDialogCount = 14;

// A configuration load (before the camera windows go); the control-monitor modes dialog stays.
inline constexpr SettingsDialog kLoadConfigurationFrees[] = {
    SettingsDialog::AdjFound, SettingsDialog::Stealth, SettingsDialog::PasswordSet,
    SettingsDialog::AdjPlay,  SettingsDialog::Prior,   SettingsDialog::DiskWriteMode,
    SettingsDialog::AdjNet,   SettingsDialog::AdjGain, SettingsDialog::AdjHard,
    SettingsDialog::Rep,      SettingsDialog::ViewRep};
// The access-status refresh; the stored-configurations dialog is freed only when it is not
// loading a configuration itself.
inline constexpr SettingsDialog kSystemStatusFrees[] = {
    SettingsDialog::AdjFound,   SettingsDialog::Stealth, SettingsDialog::PasswordSet,
    SettingsDialog::AdjPlay,    SettingsDialog::Prior,   SettingsDialog::DiskWriteMode,
    SettingsDialog::MonControl, SettingsDialog::AdjNet,  SettingsDialog::AdjGain,
    SettingsDialog::AdjHard,    SettingsDialog::Rep,     SettingsDialog::ViewRep};
// The shut-down: every settings dialog.
inline constexpr SettingsDialog kShutdownFrees[] = {
    SettingsDialog::AdjFound,      SettingsDialog::PasswordSet,   SettingsDialog::AdjPlay,
    SettingsDialog::Prior,         SettingsDialog::DiskWriteMode, SettingsDialog::AdjNet,
    SettingsDialog::AdjGain,       SettingsDialog::AdjHard,       SettingsDialog::Rep,
    SettingsDialog::ViewRep,       SettingsDialog::AdjConf,       SettingsDialog::Stealth,
    SettingsDialog::CheckPassword, SettingsDialog::MonControl};

class DialogRegistry {
public:
    // Runs the dialog's destroy actions once and deletes it later.
    using FreeAction = std::function<void()>;

    bool IsOpen(SettingsDialog d) const { return static_cast<bool>(at(d).free); }

    // Holds a dialog just opened; answers its ticket for Closed. An open one is replaced
    // without being freed (the caller checks IsOpen first).
    std::uint64_t Register(SettingsDialog d, FreeAction free);
    // The dialog with that ticket went by itself (its FormDestroy); a newer one of the same
    // kind keeps its entry.
    void Closed(SettingsDialog d, std::uint64_t ticket);

    // Frees the dialog when it is open: its entry is cleared first, then its free action runs.
    void Free(SettingsDialog d);
    void Free(std::span<const SettingsDialog> list);

private:
    struct Entry {
        FreeAction free;
        std::uint64_t ticket = 0;
    };
    Entry& at(SettingsDialog d) { return entries_[static_cast<std::size_t>(d)]; }
    const Entry& at(SettingsDialog d) const { return entries_[static_cast<std::size_t>(d)]; }

    std::array<Entry, kSettingsDialogCount> entries_{};
    std::uint64_t next_ticket_ = 1;
};

} // namespace station
