// The start-up code of a windowed program: the Qt application (the window system) and its
// message-box sink, then the program's WinMain.
#include "platform/qt_ui_sink.h"
#include "win32/modules.h"
#include "win32/winmain.h"

#include <QApplication>

#include <memory>
#include <string>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    platform::ScopedUiSink sink(std::make_shared<platform::QtUiSink>());
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        command_line += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
}
