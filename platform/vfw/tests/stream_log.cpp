#include "stream_log.h"

#include <cstring>
#include <map>

namespace vfw_test {
namespace {
std::map<HWND, StreamLog> logs;
}

std::mutex& log_lock() {
    static std::mutex m;
    return m;
}

StreamLog& stream_log(HWND hwnd) {
    return logs[hwnd];
}

void clear_logs() {
    std::lock_guard l(log_lock());
    logs.clear();
}

LRESULT CALLBACK record_video(HWND hwnd, LPVIDEOHDR header) {
    DWORD words[2] = {};
    if (header->dwBytesUsed >= sizeof(words)) {
        std::memcpy(words, header->lpData, sizeof(words));
    }
    std::lock_guard l(log_lock());
    auto& log = logs[hwnd];
    log.digits.push_back(words[0]);
    log.counters.push_back(words[1]);
    log.video_threads.insert(std::this_thread::get_id());
    log.buffers.push_back(header->lpData);
    return 0;
}

LRESULT CALLBACK record_yield(HWND hwnd) {
    std::lock_guard l(log_lock());
    auto& log = logs[hwnd];
    log.yields++;
    log.yield_threads.insert(std::this_thread::get_id());
    return log.yield_answer;
}

LRESULT CALLBACK record_error(HWND hwnd, int id, LPCSTR text) {
    std::lock_guard l(log_lock());
    logs[hwnd].errors.emplace_back(id, text ? std::string(text) : std::string("<null>"));
    return id == 0 ? 1 : 0;
}

std::size_t frames_seen(HWND hwnd) {
    std::lock_guard l(log_lock());
    return logs[hwnd].counters.size();
}

CAPSTATUS status_of(HWND hwnd) {
    CAPSTATUS s{};
    SendMessageA(hwnd, WM_CAP_GET_STATUS, sizeof(s), reinterpret_cast<LPARAM>(&s));
    return s;
}

bool wait_stopped(HWND hwnd) {
    return wait_until([&] { return !status_of(hwnd).fCapturingNow; });
}

} // namespace vfw_test
