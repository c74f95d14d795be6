// A capture window: the messages of the capture layer on one window, and its streaming capture.
//
// Threads: messages run on the sender's thread (the station's GUI thread). A streaming capture
// runs on a capture thread of the window's own: it initialises the stream, allocates, prepares
// and adds the buffers, starts the stream, hands every completed buffer to the video-stream
// callback and adds it again, and at the end stops, resets and ends the stream and frees the
// buffers. The driver reports completed buffers through its callback on any thread; that
// callback only queues them for the capture thread, so nothing is ever sent to the driver from
// inside it. Messages that drive the connection (connect, disconnect, format, dialogs, capture
// start) are refused on the capture thread, since the window waits for that thread. A driver's
// dialog runs inside WM_CAP_DLG_* with the connection held: those messages re-entered from that
// dialog's thread (a shut-down or end of session run inside it) are refused too, and a
// DestroyWindow from there disconnects once the dialog has returned.
#pragma once

#include "capture_connection.h"

#include "platform/window_table.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <new>
#include <mutex>
#include <thread>
#include <vector>

namespace vfw_impl {

// Capture buffers are page-aligned.
inline constexpr std::size_t kBufferAlignment = 4096;
struct AlignedDelete {
    void operator()(BYTE* p) const { ::operator delete[](p, std::align_val_t(kBufferAlignment)); }
};

class CaptureWindow : public platform::Window {
public:
    CaptureWindow();
    ~CaptureWindow() override;

    void set_handle(HWND hwnd) { hwnd_ = hwnd; }

    LRESULT send(UINT msg, WPARAM wparam, LPARAM lparam) override;
    void destroy() override;

private:
    struct Buffer {
        VIDEOHDR header{};
        std::unique_ptr<BYTE[], AlignedDelete> data;
        bool with_driver = false; // added and not yet reported back
    };

    bool on_capture_thread() const;
    // The capture thread, or the thread of this window's running driver dialog.
    bool refused_here() const;
    bool connect(unsigned slot);
    bool disconnect();
    bool get_status(WPARAM size, LPARAM out);
    bool set_video_format(WPARAM size, LPARAM header);
    void keep_format(std::vector<BYTE> format);
    void refresh_format();
    LRESULT get_video_format(WPARAM size, LPARAM out);
    bool set_overlay(bool on);
    bool dialog(HDRVR channel);
    bool start_capture();
    void request_stop();
    void join_capture();

    // The capture thread.
    void run_capture(CAPTUREPARMS parms, std::vector<BYTE> format);
    bool start_stream(const CAPTUREPARMS& parms, const std::vector<BYTE>& format,
                      std::vector<Buffer>& buffers);
    void stream_loop(const CAPTUREPARMS& parms, std::vector<Buffer>& buffers);
    void end_stream(std::vector<Buffer>& buffers, bool initialised);
    void report_error(int id, const char* what, LRESULT driver_error);
    static void CALLBACK driver_callback(HDRVR, UINT msg, DWORD_PTR user, DWORD_PTR param1,
                                         DWORD_PTR);

    HWND hwnd_ = nullptr;

    std::atomic<CAPERRORCALLBACKA> error_callback_{nullptr};
    std::atomic<CAPYIELDCALLBACK> yield_callback_{nullptr};
    std::atomic<CAPVIDEOCALLBACK> video_callback_{nullptr};

    // Held by the messages that change the connection or start a capture.
    std::mutex control_mutex_;
    std::unique_ptr<CaptureConnection> connection_;

    // Status, sequence set-up, format and flags, read from any thread.
    mutable std::mutex state_mutex_;
    CAPSTATUS status_{};
    CAPTUREPARMS parms_{};
    std::vector<BYTE> format_;
    bool overlay_ = false;

    // The capture thread and what the driver hands it.
    std::thread capture_thread_;
    std::atomic<std::thread::id> capture_thread_id_{};
    std::mutex queue_mutex_;
    std::condition_variable queue_cv_;
    std::deque<LPVIDEOHDR> done_;
    bool stop_requested_ = false;

    // The thread showing a driver dialog of this window, and a DestroyWindow sent from it.
    std::atomic<std::thread::id> dialog_thread_id_{};
    std::atomic<bool> disconnect_after_dialog_{false};
};

} // namespace vfw_impl
