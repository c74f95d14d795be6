// The messages of a capture window.
#include "capture_window.h"

#include "driver_slots.h"

#include <algorithm>
#include <cstring>

namespace vfw_impl {
namespace {

CAPTUREPARMS default_parms() {
    CAPTUREPARMS p{};
    p.dwRequestMicroSecPerFrame = 66667; // 15 frames per second
    p.wPercentDropForError = 10;
    p.dwIndexSize = 34952;
    p.wNumVideoRequested = 4;
    p.vKeyAbort = 0x1B; // escape
    p.fAbortLeftMouse = TRUE;
    p.fAbortRightMouse = TRUE;
    return p;
}

// Copies min(size, sizeof(T)) bytes of `record` to `out`.
template <typename T> bool copy_out(const T& record, WPARAM size, LPARAM out) {
    if (!out) {
        return false;
    }
    std::memcpy(reinterpret_cast<void*>(out), &record, std::min<WPARAM>(size, sizeof(T)));
    return true;
}

} // namespace

CaptureWindow::CaptureWindow() : parms_(default_parms()) {}

CaptureWindow::~CaptureWindow() {
    request_stop();
    if (capture_thread_.joinable()) {
        if (on_capture_thread()) {
            capture_thread_.detach();
        } else {
            capture_thread_.join();
        }
    }
}

bool CaptureWindow::on_capture_thread() const {
    return capture_thread_id_.load() == std::this_thread::get_id();
}

bool CaptureWindow::refused_here() const {
    return on_capture_thread() || dialog_thread_id_.load() == std::this_thread::get_id();
}

void CaptureWindow::destroy() {
    if (!refused_here()) {
        disconnect();
        return;
    }
    request_stop();
    if (!on_capture_thread()) {
        disconnect_after_dialog_ = true;
    }
}

LRESULT CaptureWindow::send(UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
    case WM_CAP_SET_CALLBACK_ERRORA:
        error_callback_ = reinterpret_cast<CAPERRORCALLBACKA>(lparam);
        return TRUE;
    case WM_CAP_SET_CALLBACK_YIELD:
        yield_callback_ = reinterpret_cast<CAPYIELDCALLBACK>(lparam);
        return TRUE;
    case WM_CAP_SET_CALLBACK_VIDEOSTREAM:
        video_callback_ = reinterpret_cast<CAPVIDEOCALLBACK>(lparam);
        return TRUE;
    case WM_CAP_DRIVER_CONNECT:
        return connect(static_cast<unsigned>(std::min<WPARAM>(wparam, kDriverSlots)));
    case WM_CAP_DRIVER_DISCONNECT:
        return disconnect();
    case WM_CAP_DRIVER_GET_CAPS: {
        std::lock_guard lock(state_mutex_);
        if (!connection_) {
            return FALSE;
        }
        return copy_out(connection_->caps(), wparam, lparam);
    }
    case WM_CAP_GET_STATUS:
        return get_status(wparam, lparam);
    case WM_CAP_GET_SEQUENCE_SETUP: {
        std::lock_guard lock(state_mutex_);
        return copy_out(parms_, wparam, lparam);
    }
    case WM_CAP_SET_SEQUENCE_SETUP: {
        if (!lparam) {
            return FALSE;
        }
        std::lock_guard lock(state_mutex_);
        std::memcpy(&parms_, reinterpret_cast<const void*>(lparam),
                    std::min<WPARAM>(wparam, sizeof(parms_)));
        return TRUE;
    }
    case WM_CAP_GET_VIDEOFORMAT:
        return get_video_format(wparam, lparam);
    case WM_CAP_SET_VIDEOFORMAT:
        return set_video_format(wparam, lparam);
    case WM_CAP_SET_PREVIEW: {
        if (refused_here()) {
            return FALSE;
        }
        std::lock_guard control(control_mutex_);
        if (!connection_) {
            return FALSE;
        }
        if (wparam) {
            set_overlay(false);
        }
        std::lock_guard lock(state_mutex_);
        status_.fLiveWindow = wparam ? TRUE : FALSE;
        return TRUE;
    }
    case WM_CAP_SET_OVERLAY: {
        if (refused_here()) {
            return FALSE;
        }
        std::lock_guard control(control_mutex_);
        return connection_ && set_overlay(wparam != 0);
    }
    case WM_CAP_DLG_VIDEOFORMAT:
    case WM_CAP_DLG_VIDEOSOURCE:
    case WM_CAP_DLG_VIDEODISPLAY: {
        if (refused_here()) {
            return FALSE;
        }
        bool shown = false;
        {
            std::lock_guard control(control_mutex_);
            if (!connection_) {
                return FALSE;
            }
            shown = dialog(msg == WM_CAP_DLG_VIDEOFORMAT   ? connection_->video_in()
                           : msg == WM_CAP_DLG_VIDEOSOURCE ? connection_->external_in()
                                                           : connection_->external_out());
        }
        if (disconnect_after_dialog_.exchange(false)) {
            disconnect();
        }
        return shown;
    }
    case WM_CAP_SEQUENCE_NOFILE:
        return start_capture();
    case WM_CAP_STOP: {
        request_stop();
        std::lock_guard lock(state_mutex_);
        return connection_ ? TRUE : FALSE;
    }
    default:
        return 0;
    }
}

bool CaptureWindow::connect(unsigned slot) {
    if (refused_here()) {
        return false;
    }
    disconnect();
    if (auto cb = error_callback_.load()) {
        cb(hwnd_, 0, nullptr);
    }
    std::lock_guard control(control_mutex_);
    auto connection = CaptureConnection::open(slot, hwnd_);
    std::vector<BYTE> format;
    if (!connection || !connection->read_format(format)) {
        return false;
    }
    std::lock_guard lock(state_mutex_);
    status_ = CAPSTATUS{};
    connection_ = std::move(connection);
    overlay_ = false;
    keep_format(std::move(format));
    return true;
}

// Called under the state lock.
void CaptureWindow::keep_format(std::vector<BYTE> format) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, format.data(), sizeof(header));
    status_.uiImageWidth = static_cast<UINT>(header.biWidth);
    status_.uiImageHeight = static_cast<UINT>(std::abs(header.biHeight));
    format_ = std::move(format);
}

// Called under the control lock; a format the driver does not answer keeps the old one.
void CaptureWindow::refresh_format() {
    std::vector<BYTE> format;
    if (connection_->read_format(format)) {
        std::lock_guard lock(state_mutex_);
        keep_format(std::move(format));
    }
}

bool CaptureWindow::disconnect() {
    if (refused_here()) {
        return false;
    }
    std::lock_guard control(control_mutex_);
    if (!connection_) {
        return false;
    }
    request_stop();
    join_capture();
    set_overlay(false);
    std::unique_ptr<CaptureConnection> closing;
    {
        std::lock_guard lock(state_mutex_);
        closing = std::move(connection_);
        format_.clear();
        status_ = CAPSTATUS{};
    }
    closing.reset(); // closes the channels outside the state lock
    return true;
}

bool CaptureWindow::get_status(WPARAM size, LPARAM out) {
    std::lock_guard lock(state_mutex_);
    if (!connection_) {
        return false;
    }
    return copy_out(status_, size, out);
}

LRESULT CaptureWindow::get_video_format(WPARAM size, LPARAM out) {
    std::lock_guard lock(state_mutex_);
    if (!connection_) {
        return 0;
    }
    if (size == 0 || !out) {
        return static_cast<LRESULT>(format_.size());
    }
    const std::size_t n = std::min<std::size_t>(size, format_.size());
    std::memcpy(reinterpret_cast<void*>(out), format_.data(), n);
    return static_cast<LRESULT>(n);
}

bool CaptureWindow::set_video_format(WPARAM size, LPARAM header) {
    if (refused_here() || !header || size < sizeof(BITMAPINFOHEADER) || size > 0xFFFF) {
        return false;
    }
    std::lock_guard control(control_mutex_);
    {
        std::lock_guard lock(state_mutex_);
        if (!connection_ || status_.fCapturingNow) {
            return false;
        }
    }
    const LRESULT result =
        connection_->write_format(reinterpret_cast<const BYTE*>(header), static_cast<DWORD>(size));
    refresh_format();
    return result == DV_ERR_OK;
}

// Overlay goes through the external-out channel's stream. Called under the control lock.
bool CaptureWindow::set_overlay(bool on) {
    if (!connection_) {
        return false;
    }
    if (on == overlay_) {
        return true;
    }
    if (on) {
        if (!connection_->caps().fHasOverlay) {
            return false;
        }
        VIDEO_STREAM_INIT_PARMS parms{};
        if (connection_->send(connection_->external_out(), DVM_STREAM_INIT,
                              reinterpret_cast<LPARAM>(&parms), sizeof(parms)) != DV_ERR_OK) {
            return false;
        }
    } else {
        connection_->send(connection_->external_out(), DVM_STREAM_FINI, 0, 0);
    }
    overlay_ = on;
    std::lock_guard lock(state_mutex_);
    status_.fOverlayWindow = on ? TRUE : FALSE;
    if (on) {
        status_.fLiveWindow = FALSE;
    }
    return true;
}

// Called under the control lock. The driver's format may have changed in its dialog.
bool CaptureWindow::dialog(HDRVR channel) {
    if (!channel) {
        return false;
    }
    dialog_thread_id_ = std::this_thread::get_id();
    const LRESULT result = connection_->dialog(channel, 0);
    dialog_thread_id_ = std::thread::id();
    refresh_format();
    return result == DV_ERR_OK;
}

bool CaptureWindow::start_capture() {
    if (refused_here()) {
        return false;
    }
    std::lock_guard control(control_mutex_);
    CAPTUREPARMS parms;
    std::vector<BYTE> format;
    {
        std::lock_guard lock(state_mutex_);
        if (!connection_ || status_.fCapturingNow) {
            return false;
        }
    }
    join_capture(); // a capture that ended by itself
    {
        std::lock_guard lock(state_mutex_);
        parms = parms_;
        format = format_;
        status_.fCapturingNow = TRUE;
        status_.dwCurrentVideoFrame = 0;
        status_.dwCurrentVideoFramesDropped = 0;
        status_.dwCurrentTimeElapsedMS = 0;
        status_.wNumVideoAllocated = 0;
        status_.dwReturn = 0;
    }
    {
        std::lock_guard lock(queue_mutex_);
        stop_requested_ = false;
        done_.clear();
    }
    capture_thread_ = std::thread([this, parms, format = std::move(format)]() mutable {
        capture_thread_id_ = std::this_thread::get_id();
        run_capture(parms, std::move(format));
    });
    return true;
}

void CaptureWindow::request_stop() {
    std::lock_guard lock(queue_mutex_);
    stop_requested_ = true;
    queue_cv_.notify_all();
}

void CaptureWindow::join_capture() {
    if (capture_thread_.joinable()) {
        capture_thread_.join();
    }
    capture_thread_id_ = std::thread::id();
}

} // namespace vfw_impl

extern "C" HWND WINAPI capCreateCaptureWindowA(LPCSTR, DWORD dwStyle, int x, int y, int nWidth,
                                               int nHeight, HWND, int) {
    auto window = std::make_shared<vfw_impl::CaptureWindow>();
    HWND hwnd = platform::register_window(
        window, platform::WindowPlacement{(dwStyle & WS_VISIBLE) != 0, x, y, nWidth, nHeight});
    window->set_handle(hwnd);
    return hwnd;
}
