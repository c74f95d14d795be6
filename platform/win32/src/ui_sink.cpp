#include "platform/ui_sink.h"

#include "platform/clock.h"
#include "platform/cp1251.h"
#include "win32/dialogs.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace platform {
namespace {

// Without a window system: tell the terminal and take the default button.
class StderrSink : public UiSink {
public:
    int message_box(HWND, std::string_view text, std::string_view caption, UINT type) override {
        const int answer = default_button(type);
        std::fprintf(stderr, "[message box] %s: %s (answered %d)\n",
                     cp1251::to_utf8(caption).c_str(), cp1251::to_utf8(text).c_str(), answer);
        return answer;
    }
    void message_beep(UINT type) override { std::fprintf(stderr, "[beep] type 0x%x\n", type); }
    void beep(DWORD frequency, DWORD duration_ms) override {
        std::fprintf(stderr, "[beep] %u Hz, %u ms\n", frequency, duration_ms);
    }
};

struct SinkSlot {
    std::mutex mutex;
    std::shared_ptr<UiSink> installed;
    std::shared_ptr<UiSink> fallback = std::make_shared<StderrSink>();
};

SinkSlot& slot() {
    static SinkSlot s;
    return s;
}

} // namespace

std::shared_ptr<UiSink> set_ui_sink(std::shared_ptr<UiSink> sink) {
    SinkSlot& s = slot();
    std::lock_guard lock(s.mutex);
    std::swap(s.installed, sink);
    return sink;
}

std::shared_ptr<UiSink> ui_sink() {
    SinkSlot& s = slot();
    std::lock_guard lock(s.mutex);
    return s.installed ? s.installed : s.fallback;
}

int default_button(UINT type) {
    static const int buttons[][3] = {
        {IDOK, 0, 0},                 // MB_OK
        {IDOK, IDCANCEL, 0},          // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE}, // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},      // MB_YESNOCANCEL
        {IDYES, IDNO, 0},             // MB_YESNO
        {IDRETRY, IDCANCEL, 0},       // MB_RETRYCANCEL
    };
    const UINT kind = type & MB_TYPEMASK;
    if (kind >= std::size(buttons)) {
        return IDOK;
    }
    const UINT index = (type & MB_DEFMASK) >> 8;
    if (index < 3 && buttons[kind][index] != 0) {
        return buttons[kind][index];
    }
    return buttons[kind][0];
}

} // namespace platform

extern "C" {

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return platform::ui_sink()->message_box(owner, text ? text : "", caption ? caption : "Error",
                                            type);
}

BOOL WINAPI MessageBeep(UINT type) {
    platform::ui_sink()->message_beep(type);
    return TRUE;
}

BOOL WINAPI Beep(DWORD frequency, DWORD duration) {
    platform::ui_sink()->beep(frequency, duration);
    platform::clock::sleep(duration);
    return TRUE;
}
}
