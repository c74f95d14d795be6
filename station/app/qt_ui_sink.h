// The program's message boxes and beeps: the window system's side of the platform's
// user-interface sink. A box is modal, as the system's message boxes are; the handlers that
// show one re-check the station's state after it.
#pragma once

#include "platform/ui_sink.h"

namespace station {

class QtUiSink : public platform::UiSink {
public:
    int message_box(HWND owner, std::string_view text, std::string_view caption,
                    UINT type) override;
    void message_beep(UINT type) override;
    void beep(DWORD frequency, DWORD duration_ms) override;
};

} // namespace station
