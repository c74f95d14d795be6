// The one way operator-facing calls leave the platform: message boxes and beeps. The program
// installs its window-system implementation; tests install UiRecorder (platform/ui_recorder.h).
// Without one, the default sink writes each call to stderr and answers the default button.
#pragma once

#include "win32/types.h"

#include <memory>
#include <string_view>

namespace platform {

class UiSink {
public:
    virtual ~UiSink() = default;
    // Texts are CP1251. Returns the button (IDOK, IDYES, ...) the operator pressed.
    virtual int message_box(HWND owner, std::string_view text, std::string_view caption,
                            UINT type) = 0;
    // MessageBeep: `type` as given (an MB_ICON value, MB_OK or 0xFFFFFFFF).
    virtual void message_beep(UINT type) = 0;
    // Beep: starts the tone; the caller waits out the duration.
    virtual void beep(DWORD frequency, DWORD duration_ms) = 0;
};

// Installs `sink` for the whole process (null restores the default) and returns the previous
// one (null when it was the default).
std::shared_ptr<UiSink> set_ui_sink(std::shared_ptr<UiSink> sink);
// The sink in force (the default one when none is installed).
std::shared_ptr<UiSink> ui_sink();

// The button a box of `type` answers with its default button (MB_DEFBUTTONn; the first button
// when n is beyond the buttons of the type).
int default_button(UINT type);

// Installs a sink for a scope and restores the previous one on exit.
class ScopedUiSink {
public:
    explicit ScopedUiSink(std::shared_ptr<UiSink> sink) : previous_(set_ui_sink(std::move(sink))) {}
    ~ScopedUiSink() { set_ui_sink(std::move(previous_)); }
    ScopedUiSink(const ScopedUiSink&) = delete;
    ScopedUiSink& operator=(const ScopedUiSink&) = delete;

private:
    std::shared_ptr<UiSink> previous_;
};

} // namespace platform
