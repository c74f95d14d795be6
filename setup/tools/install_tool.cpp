// setup-install: runs the installer's Install (or Remove) operation without the dialog, for
// scripts and tests that prepare a system root. A tool of the project, not part of the
// installer: it drives the platform stand-ins directly (system root, clock, message boxes). Status
// lines go to stdout; questions to replace a file are answered Yes, the restart question No.
//
//   setup-install [--root DIR] [--source DIR] [--count N] [--first N] [--remove-devices]
//                 [--remove] [--manual-clock]
//
// --root: the system root (default TOLM_SYSROOT); --source: the folder holding tarvovfw0.dll,
// tarvovfw.dll and tarvo.sys (default: this program's folder); --count 1-10 (default 4);
// --first 0 to 10 - count (default 0); --manual-clock: the platform's manual clock, so the
// operation's waits take no real time. Exit status 0 when the operation finished.
#include "installer.h"
#include "names.h"
#include "texts.h"

#include "platform/clock.h"
#include "platform/cp1251.h"
#include "platform/modules.h"
#include "platform/paths.h"
#include "platform/ui_sink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

class ConsoleControls : public setup::InstallerControls {
public:
    void set_status(const std::string& text) override {
        last = text;
        std::printf("%s\n", platform::cp1251::to_utf8(text).c_str());
        std::fflush(stdout);
    }
    void enable_button(setup::Button, bool) override {}
    bool remove_devices_ticked() const override { return remove_devices; }
    bool remove_devices = false;
    std::string last;
};

class ConsoleSink : public platform::UiSink {
public:
    int message_box(HWND, std::string_view text, std::string_view caption, UINT type) override {
        int answer = IDOK;
        if ((type & MB_TYPEMASK) == MB_YESNO) {
            answer = text == setup::text::kRestartQuestion ? IDNO : IDYES;
        }
        std::fprintf(stderr, "[%s] %s -> %s\n", platform::cp1251::to_utf8(caption).c_str(),
                     platform::cp1251::to_utf8(text).c_str(),
                     answer == IDYES  ? "yes"
                     : answer == IDNO ? "no"
                                      : "ok");
        return answer;
    }
    void message_beep(UINT) override {}
    void beep(DWORD, DWORD) override {}
};

int usage() {
    std::fprintf(stderr, "usage: setup-install [--root DIR] [--source DIR] [--count N] "
                         "[--first N] [--remove-devices] [--remove] [--manual-clock]\n");
    return 2;
}

bool number(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path source = platform::program_directory();
    ConsoleControls controls;
    setup::Installer installer(controls);
    bool remove = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--root" && has_value) {
            platform::set_system_root(argv[++i]);
        } else if (arg == "--source" && has_value) {
            source = std::filesystem::absolute(argv[++i]);
        } else if (arg == "--count" && has_value) {
            if (!number(argv[++i], 1, 10, installer.settings.device_count)) {
                return usage();
            }
        } else if (arg == "--first" && has_value) {
            if (!number(argv[++i], 0, 9, installer.settings.first_slot)) {
                return usage();
            }
        } else if (arg == "--remove-devices") {
            controls.remove_devices = true;
        } else if (arg == "--remove") {
            remove = true;
        } else if (arg == "--manual-clock") {
            platform::clock::use_manual(1000);
        } else {
            return usage();
        }
    }
    if (installer.settings.first_slot > 10 - installer.settings.device_count) {
        return usage();
    }
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version)) {
        installer.settings.windows_major = version.dwMajorVersion;
    }
    installer.settings.pci_ids.assign(setup::names::kPciIds.begin(), setup::names::kPciIds.end());
    std::error_code entered;
    std::filesystem::current_path(source, entered);
    if (entered) {
        std::fprintf(stderr, "setup-install: cannot enter %s\n", source.c_str());
        return 2;
    }
    platform::ScopedUiSink sink(std::make_shared<ConsoleSink>());
    if (remove) {
        installer.OnRemove();
        return controls.last == setup::text::kStatusRemoveDone ? 0 : 1;
    }
    installer.OnInstall();
    return controls.last == setup::text::kStatusInstallDone ? 0 : 1;
}
