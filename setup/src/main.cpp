// The installer program: one modal dialog; the program ends when it closes.
#include "setup_dialog.h"

#include <win32/winmain.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    setup::SetupDialog dialog;
    dialog.exec();
    return 0;
}
