// Callbacks of a capture window that record what they see, per window.
#pragma once

#include "vfw.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vfw_test {

struct StreamLog {
    std::vector<DWORD> digits;   // word 0 of each buffer
    std::vector<DWORD> counters; // word 1 of each buffer
    std::set<std::thread::id> video_threads;
    std::set<std::thread::id> yield_threads;
    std::vector<LPBYTE> buffers;
    int yields = 0;
    LRESULT yield_answer = TRUE;
    std::vector<std::pair<int, std::string>> errors; // id, text ("<null>" for none)
};

// The log of `hwnd`; `lock()` guards every log.
StreamLog& stream_log(HWND hwnd);
std::mutex& log_lock();
void clear_logs();

LRESULT CALLBACK record_video(HWND hwnd, LPVIDEOHDR header);
LRESULT CALLBACK record_yield(HWND hwnd);
LRESULT CALLBACK record_error(HWND hwnd, int id, LPCSTR text);

// Waits (real time, at most `limit`) until `done()` holds.
template <typename F>
bool wait_until(F done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Buffers the window's video-stream callback has seen.
std::size_t frames_seen(HWND hwnd);
// The window's status record.
CAPSTATUS status_of(HWND hwnd);
// Waits until the window no longer captures.
bool wait_stopped(HWND hwnd);

} // namespace vfw_test
