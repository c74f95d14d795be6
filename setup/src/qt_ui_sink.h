// Message boxes and beeps of the installer program as Qt message boxes and the system bell.
#pragma once

#include "platform/ui_sink.h"

namespace setup {

class QtUiSink : public platform::UiSink {
public:
    int message_box(HWND owner, std::string_view text, std::string_view caption,
                    UINT type) override;
    void message_beep(UINT type) override;
    void beep(DWORD frequency, DWORD duration_ms) override;
};

} // namespace setup
