// The start-up code of a windowed program: the Qt application (the window system), its
// message-box sink and its dialog host, then the program's WinMain.
#include "platform/qt_dialog_host.h"
#include "platform/qt_ui_sink.h"
#include "win32/modules.h"
#include "win32/winmain.h"

#include <QApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace {

// Qt keeps its runtime files in XDG_RUNTIME_DIR; when the variable is not set it says so on
// stderr and takes "<temp>/runtime-<user>". The window system starts silently as the real one
// does: the variable names that private folder, made if missing.
void provide_runtime_folder() {
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    if (set != nullptr && *set != '\0') {
        return;
    }
    const char* temp = std::getenv("TMPDIR");
    std::string folder = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") +
                         "/runtime-" + std::to_string(getuid());
    struct stat st {};
    if (mkdir(folder.c_str(), 0700) != 0 &&
        (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
         (st.st_mode & 0777) != 0700)) {
        return; // not ours to use: Qt chooses and says so
    }
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

} // namespace

// TOLM_MESSAGES=stderr keeps the platform's default sink: message boxes and beeps are written
// to stderr and answered with the default button, for a run without an operator.
int main(int argc, char** argv) {
    provide_runtime_folder();
    QApplication app(argc, argv);
    std::optional<platform::ScopedUiSink> sink;
    const char* messages = std::getenv("TOLM_MESSAGES");
    if (messages == nullptr || std::string(messages) != "stderr") {
        sink.emplace(std::make_shared<platform::QtUiSink>());
    }
    // Modal dialogs of the dialog manager (the capture driver's settings dialogs).
    const platform::ScopedDialogHost dialogs(std::make_shared<platform::QtDialogHost>());
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        command_line += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
}
