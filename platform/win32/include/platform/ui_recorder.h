// A UiSink for tests: records every message box and beep, and answers boxes with scripted
// buttons (then with each box's default button once the script is used up).
#pragma once

#include "platform/ui_sink.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class UiRecorder : public UiSink {
public:
    enum class Kind { MessageBox, MessageBeep, Beep };
    struct Call {
        Kind kind = Kind::MessageBox;
        HWND owner = nullptr;
        std::string text;    // CP1251, message boxes only
        std::string caption; // CP1251, message boxes only
        UINT type = 0;       // box type or MessageBeep type
        DWORD frequency = 0; // Beep only
        DWORD duration = 0;  // Beep only
        int answer = 0;      // the button the box answered
    };

    // Queues the answer of the next message box.
    void answer(int button) {
        std::lock_guard lock(mutex_);
        answers_.push_back(button);
    }
    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::vector<Call> boxes() const { return of_kind(Kind::MessageBox); }
    std::vector<Call> beeps() const { return of_kind(Kind::Beep); }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
        answers_.clear();
    }

    int message_box(HWND owner, std::string_view text, std::string_view caption,
                    UINT type) override {
        std::lock_guard lock(mutex_);
        Call c;
        c.kind = Kind::MessageBox;
        c.owner = owner;
        c.text = text;
        c.caption = caption;
        c.type = type;
        if (answers_.empty()) {
            c.answer = default_button(type);
        } else {
            c.answer = answers_.front();
            answers_.pop_front();
        }
        calls_.push_back(c);
        return c.answer;
    }
    void message_beep(UINT type) override {
        std::lock_guard lock(mutex_);
        Call c;
        c.kind = Kind::MessageBeep;
        c.type = type;
        calls_.push_back(c);
    }
    void beep(DWORD frequency, DWORD duration_ms) override {
        std::lock_guard lock(mutex_);
        Call c;
        c.kind = Kind::Beep;
        c.frequency = frequency;
        c.duration = duration_ms;
        calls_.push_back(c);
    }

private:
    std::vector<Call> of_kind(Kind kind) const {
        std::lock_guard lock(mutex_);
        std::vector<Call> out;
        for (const Call& c : calls_) {
            if (c.kind == kind) {
                out.push_back(c);
            }
        }
        return out;
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::deque<int> answers_;
};

} // namespace platform
