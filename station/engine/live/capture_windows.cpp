#include "capture_windows.h"

#include "frame_descriptor.h"
#include "frame_handoff.h"

#include <win32/memory.h>

#include <atomic>
#include <cstdint>

namespace station {

namespace {

// The windows the callbacks know: the capture layer calls them on its own thread.
struct Route {
    std::atomic<HWND> window{nullptr};
    std::atomic<FrameHandoff*> handoff{nullptr};
};
std::array<Route, kChipCount + 1> routes;

int chip_of(HWND w, FrameHandoff*& handoff) {
    for (int k = 1; k <= kChipCount; ++k) {
        Route& r = routes[static_cast<std::size_t>(k)];
        if (w != nullptr && r.window.load(std::memory_order_acquire) == w) {
            handoff = r.handoff.load(std::memory_order_acquire);
            return handoff != nullptr ? k : 0;
        }
    }
    return 0;
}

LRESULT CALLBACK stream_callback(HWND w, LPVIDEOHDR header) {
    FrameHandoff* handoff = nullptr;
    const int k = chip_of(w, handoff);
    if (k == 0 || header == nullptr) {
        return 0;
    }
    return handoff->CaptureStreamCallback(k, header->dwReserved[3],
                                          reinterpret_cast<std::uintptr_t>(header->lpData));
}

LRESULT CALLBACK error_callback(HWND w, int id, LPCSTR text) {
    FrameHandoff* handoff = nullptr;
    const int k = chip_of(w, handoff);
    if (k == 0) {
        return id == 0 ? 1 : 0;
    }
    return handoff->CaptureErrorCallback(k, id, text != nullptr ? text : "");
}

// The capture layer yields on its streaming thread; the station's GUI thread runs its own
// event loop, so there is nothing to pump here.
LRESULT CALLBACK yield_callback(HWND) {
    return TRUE;
}

constexpr DWORD kCaptureWindowStyle = 0x50800000u;

} // namespace

CaptureWindows::~CaptureWindows() {
    for (int k = 1; k <= kChipCount; ++k) {
        Route& r = routes[static_cast<std::size_t>(k)];
        if (handoff_ != nullptr && r.handoff.load() == handoff_) {
            r.window.store(nullptr);
            r.handoff.store(nullptr);
        }
        if (HWND w = windows_[static_cast<std::size_t>(k)]) {
            DestroyWindow(w);
        }
    }
}

void CaptureWindows::Create(HWND parent, FrameHandoff& handoff) {
    handoff_ = &handoff;
    for (int k = 1; k <= kChipCount; ++k) {
        const auto sk = static_cast<std::size_t>(k);
        windows_[sk] = capCreateCaptureWindowA("", kCaptureWindowStyle, 0, 0, 0, 0, parent, 0);
        routes[sk].handoff.store(handoff_, std::memory_order_release);
        routes[sk].window.store(windows_[sk], std::memory_order_release);
    }
}

bool CaptureWindows::Connect(int k) {
    if (!ValidChip(k) || Window(k) == nullptr) {
        return false;
    }
    HWND w = Window(k);
    capSetCallbackOnVideoStream(w, stream_callback);
    capSetCallbackOnYield(w, yield_callback);
    capSetCallbackOnError(w, error_callback);
    if (!capDriverConnect(w, static_cast<WPARAM>(k - 1))) {
        return false;
    }
    CAPTUREPARMS parms{};
    capCaptureGetSetup(w, &parms, sizeof parms);
    parms.dwRequestMicroSecPerFrame = 66667;
    parms.wPercentDropForError = 100;
    parms.fYield = static_cast<BOOL>(-1);
    parms.wNumVideoRequested = 4;
    parms.fCaptureAudio = FALSE;
    parms.vKeyAbort = 0;
    parms.fAbortLeftMouse = FALSE;
    parms.fAbortRightMouse = FALSE;
    parms.fLimitEnabled = FALSE;
    capCaptureSetSetup(w, &parms, sizeof parms);
    return true;
}

void CaptureWindows::Disconnect(int k) {
    if (!ValidChip(k) || Window(k) == nullptr) {
        return;
    }
    capOverlay(Window(k), FALSE);
    capCaptureStop(Window(k));
    capDriverDisconnect(Window(k));
}

std::vector<std::uint8_t> CaptureWindows::ReadVideoFormat(int k) {
    if (!ValidChip(k) || Window(k) == nullptr) {
        return {};
    }
    const DWORD size = capGetVideoFormatSize(Window(k));
    std::vector<std::uint8_t> format(size);
    if (size == 0 || capGetVideoFormat(Window(k), format.data(), size) == 0) {
        return {};
    }
    return format;
}

bool CaptureWindows::GetStatus(int k, CaptureStatusInfo& status) {
    if (!ValidChip(k) || Window(k) == nullptr) {
        return false;
    }
    CAPSTATUS s{};
    if (!capGetStatus(Window(k), &s, sizeof s)) {
        return false;
    }
    status.CapturingNow = s.fCapturingNow != 0;
    status.VideoAllocated = s.wNumVideoAllocated;
    return true;
}

void CaptureWindows::SetPreview(int k, bool on) {
    capPreview(Window(k), on ? TRUE : FALSE);
}
void CaptureWindows::SetOverlay(int k, bool on) {
    capOverlay(Window(k), on ? TRUE : FALSE);
}
void CaptureWindows::SequenceNoFile(int k) {
    capCaptureSequenceNoFile(Window(k));
}
void CaptureWindows::Stop(int k) {
    capCaptureStop(Window(k));
}
void CaptureWindows::DlgVideoFormat(int k) {
    capDlgVideoFormat(Window(k));
}
void CaptureWindows::DlgVideoSource(int k) {
    capDlgVideoSource(Window(k));
}

bool CaptureWindows::IsMappedFrameTable(int k, std::uintptr_t address, std::uintptr_t buffer) {
    if (!ValidChip(k) || address == 0 || buffer == 0 || address % alignof(FrameDescriptor) != 0 ||
        address > UINTPTR_MAX - sizeof(FrameDescriptor) * kFrameTableSize) {
        return false;
    }
    // The whole table lies in committed memory the station may write (a word the capture
    // layer left behind may point anywhere, or nowhere).
    const std::uintptr_t end = address + sizeof(FrameDescriptor) * kFrameTableSize;
    for (std::uintptr_t at = address; at < end;) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<LPCVOID>(at), &region, sizeof region) != sizeof region ||
            region.State != MEM_COMMIT ||
            (region.Protect != PAGE_READWRITE && region.Protect != PAGE_EXECUTE_READWRITE)) {
            return false;
        }
        at = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    // Chip k's table lists the buffer of chip k's stream that carried the word.
    auto* table = reinterpret_cast<FrameDescriptor*>(address);
    for (int i = 0; i < kFrameTableSize; ++i) {
        if (std::atomic_ref<std::uintptr_t>(table[i].BufferAddress)
                .load(std::memory_order_acquire) == buffer) {
            return true;
        }
    }
    return false;
}

} // namespace station
