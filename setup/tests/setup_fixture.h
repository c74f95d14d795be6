// A temporary system root on a fresh virtual machine (manual clock, deferred calls drained by
// hand), a source folder holding the files the installer copies (as its current folder), a
// message-box recorder with scripted answers, and controls that record what the operations did.
#pragma once

#include "installer.h"

#include "machine/machine.h"
#include "platform/ui_recorder.h"
#include "stepped_machine.h"
#include "system_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace setup_test {

class RecordingControls : public setup::InstallerControls {
public:
    void set_status(const std::string& text) override { statuses.push_back(text); }
    void enable_button(setup::Button button, bool enabled) override {
        buttons[static_cast<int>(button)] = enabled;
    }
    bool remove_devices_ticked() const override { return ticked; }

    std::vector<std::string> statuses;
    bool buttons[3] = {true, true, true}; // Install, Remove, Exit
    bool ticked = false;
};

class InstallerTest : public ::testing::Test {
protected:
    InstallerTest();
    ~InstallerTest() override;

public:
    // Replaces the machine (before the first operation).
    void use_machine(machine::MachineConfig config);
    // An installer over the recording controls with the eight chip identifiers.
    setup::Installer& installer();

    const std::filesystem::path& root() const { return root_.path(); }
    const std::filesystem::path& source() const { return source_; }
    std::filesystem::path system_dir() const;
    std::vector<unsigned char> file_bytes(const std::filesystem::path& path) const;
    void write_file(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

    // Registry reads below HKEY_LOCAL_MACHINE (or HKEY_CURRENT_USER); empty when missing.
    static std::string string_value(const std::string& key, const std::string& name,
                                    bool user = false);
    static bool value_exists(const std::string& key, const std::string& name);
    static bool key_exists(const std::string& key, bool user = false);
    static void set_string(const std::string& key, const std::string& name, const std::string& text,
                           bool user = false);

    std::shared_ptr<platform::UiRecorder> ui = std::make_shared<platform::UiRecorder>();
    RecordingControls controls;

private:
    tolm_test::TempSystemRoot root_{"tolm-setup"};
    tolm_test::SteppedMachine machine_{{}, 5000};
    std::filesystem::path source_;
    std::filesystem::path previous_dir_;
    std::unique_ptr<setup::Installer> installer_;
    std::shared_ptr<platform::UiSink> previous_sink_;
};

// CP1251 bytes of a UTF-8 text, for comparisons with what the installer showed.
std::string cp(const char* utf8);

inline constexpr char kDrivers32[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
inline constexpr char kDriversDesc[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
inline constexpr char kService[] = "SYSTEM\\CurrentControlSet\\Services\\Tarvo";

} // namespace setup_test
