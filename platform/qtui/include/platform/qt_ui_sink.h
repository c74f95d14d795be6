// Message boxes and beeps of a program as Qt message boxes and the system bell: the window
// system's side of the platform's user-interface sink. A box is modal, as the system's message
// boxes are; a handler that shows one re-checks its state after it.
#pragma once

#include "platform/ui_sink.h"

namespace platform {

class QtUiSink : public UiSink {
public:
    int message_box(HWND owner, std::string_view text, std::string_view caption,
                    UINT type) override;
    void message_beep(UINT type) override;
    void beep(DWORD frequency, DWORD duration_ms) override;
};

} // namespace platform
