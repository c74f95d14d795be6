// GDI objects and recording device contexts. Brushes, bitmaps and contexts live in one table
// under one lock; a context records every fill with the colour of the brush used, and a memory
// context paints fills into the pixels of its selected bitmap too.
#include "platform/gdi_recorder.h"
#include "win32/errors.h"
#include "win32/gdi.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace platform::gdi {
namespace {

struct Context {
    HGDIOBJ brush = nullptr;
    std::vector<Fill> fills;
    bool memory = false;
    HGDIOBJ bitmap = nullptr; // of a memory context: the stock bitmap or its own
};

// A 32-bit device-independent bitmap.
struct Bitmap {
    int width = 0;
    int height = 0;
    bool top_down = false;
    std::size_t stride = 0;
    std::unique_ptr<std::uint8_t[]> bits;
    HDC selected_into = nullptr;
};

struct Table {
    std::mutex mutex;
    std::map<HGDIOBJ, COLORREF> brushes;
    std::map<HGDIOBJ, Bitmap> bitmaps;
    std::map<HDC, Context> contexts;
    std::uintptr_t next = 0x30000;
    HGDIOBJ white = nullptr;        // the stock brush every context starts with
    HGDIOBJ stock_bitmap = nullptr; // the bitmap every memory context starts with

    Table() {
        white = add_brush(RGB(255, 255, 255));
        stock_bitmap = reinterpret_cast<HGDIOBJ>(next += 8);
    }

    HGDIOBJ add_brush(COLORREF colour) {
        const auto h = reinterpret_cast<HGDIOBJ>(next += 8);
        brushes.emplace(h, colour);
        return h;
    }
};

Table& table() {
    static Table* t = new Table; // objects may be deleted while the process ends
    return *t;
}

Context* context_of(Table& t, HDC dc) {
    const auto it = t.contexts.find(dc);
    return it == t.contexts.end() ? nullptr : &it->second;
}

// Paints the rectangle into the pixels of the context's own bitmap, cut to the bitmap.
void paint(Table& t, const Context& c, const RECT& r, COLORREF colour) {
    const auto it = t.bitmaps.find(c.bitmap);
    if (it == t.bitmaps.end()) {
        return;
    }
    const Bitmap& b = it->second;
    const LONG left = std::max<LONG>(r.left, 0);
    const LONG right = std::min<LONG>(r.right, b.width);
    const LONG top = std::max<LONG>(r.top, 0);
    const LONG bottom = std::min<LONG>(r.bottom, b.height);
    const std::uint8_t pixel[4] = {GetBValue(colour), GetGValue(colour), GetRValue(colour), 0};
    for (LONG y = top; y < bottom; ++y) {
        const LONG row = b.top_down ? y : b.height - 1 - y;
        std::uint8_t* out = b.bits.get() + std::size_t(row) * b.stride;
        for (LONG x = left; x < right; ++x) {
            std::memcpy(out + std::size_t(x) * 4, pixel, 4);
        }
    }
}

// Records a fill of the rectangle spanned by two corners, in either order, and paints it.
void record(Table& t, Context& c, LONG x1, LONG y1, LONG x2, LONG y2, COLORREF colour) {
    RECT r{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
    c.fills.push_back(Fill{r, colour});
    paint(t, c, r, colour);
}

} // namespace

HDC create_dc() {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const auto dc = reinterpret_cast<HDC>(t.next += 8);
    t.contexts.emplace(dc, Context{t.white, {}});
    return dc;
}

void delete_dc(HDC dc) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    t.contexts.erase(dc);
}

std::vector<Fill> fills(HDC dc) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Context* c = context_of(t, dc);
    return c ? c->fills : std::vector<Fill>{};
}

HGDIOBJ selected_brush(HDC dc) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Context* c = context_of(t, dc);
    return c ? c->brush : nullptr;
}

std::size_t live_objects() {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    return t.brushes.size() - 1 + t.bitmaps.size();
}

std::optional<Surface> surface(HDC dc) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const Context* c = context_of(t, dc);
    const auto it = c != nullptr ? t.bitmaps.find(c->bitmap) : t.bitmaps.end();
    if (it == t.bitmaps.end()) {
        return std::nullopt;
    }
    const Bitmap& b = it->second;
    return Surface{b.bits.get(), b.width, b.height, b.stride, b.top_down};
}

} // namespace platform::gdi

namespace gdi = platform::gdi;

extern "C" {

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    return static_cast<HBRUSH>(t.add_brush(color));
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    if (object == t.white || object == t.stock_bitmap) {
        return TRUE;
    }
    if (const auto b = t.bitmaps.find(object); b != t.bitmaps.end()) {
        if (b->second.selected_into != nullptr) {
            return FALSE;
        }
        t.bitmaps.erase(b);
        return TRUE;
    }
    if (t.brushes.erase(object) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    gdi::Context* c = gdi::context_of(t, dc);
    if (c != nullptr && c->memory && object == t.stock_bitmap) {
        const HGDIOBJ old = c->bitmap;
        if (const auto b = t.bitmaps.find(old); b != t.bitmaps.end()) {
            b->second.selected_into = nullptr;
        }
        c->bitmap = object;
        return old;
    }
    const auto bitmap = t.bitmaps.find(object);
    if (c != nullptr && bitmap != t.bitmaps.end()) {
        if (!c->memory ||
            (bitmap->second.selected_into != nullptr && bitmap->second.selected_into != dc)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        const HGDIOBJ old = c->bitmap;
        if (const auto b = t.bitmaps.find(old); b != t.bitmaps.end()) {
            b->second.selected_into = nullptr;
        }
        bitmap->second.selected_into = dc;
        c->bitmap = object;
        return old;
    }
    if (c == nullptr || t.brushes.count(object) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const HGDIOBJ old = c->brush;
    c->brush = object;
    return old;
}

HDC WINAPI CreateCompatibleDC(HDC dc) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    if (dc != nullptr && gdi::context_of(t, dc) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const auto memory = reinterpret_cast<HDC>(t.next += 8);
    t.contexts.emplace(memory, gdi::Context{t.white, {}, true, t.stock_bitmap});
    return memory;
}

BOOL WINAPI DeleteDC(HDC dc) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    const auto it = t.contexts.find(dc);
    if (it == t.contexts.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (const auto b = t.bitmaps.find(it->second.bitmap); b != t.bitmaps.end()) {
        b->second.selected_into = nullptr;
    }
    t.contexts.erase(it);
    return TRUE;
}

HBITMAP WINAPI CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                                HANDLE section, DWORD offset) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    if (bits != nullptr) {
        *bits = nullptr;
    }
    if (dc != nullptr && gdi::context_of(t, dc) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const BITMAPINFOHEADER* h = info != nullptr ? &info->bmiHeader : nullptr;
    if (h == nullptr || h->biSize < sizeof(BITMAPINFOHEADER) || h->biBitCount != 32 ||
        h->biCompression != BI_RGB || h->biPlanes != 1 || h->biWidth <= 0 || h->biWidth > 32768 ||
        h->biHeight == 0 || h->biHeight > 32768 || h->biHeight < -32768 ||
        usage != DIB_RGB_COLORS || section != nullptr || offset != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    gdi::Bitmap b;
    b.width = h->biWidth;
    b.height = h->biHeight < 0 ? -h->biHeight : h->biHeight;
    b.top_down = h->biHeight < 0;
    b.stride = std::size_t(b.width) * 4;
    const std::size_t bytes = b.stride * std::size_t(b.height);
    b.bits.reset(new (std::nothrow) std::uint8_t[bytes]());
    if (!b.bits) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const auto handle = reinterpret_cast<HGDIOBJ>(t.next += 8);
    if (bits != nullptr) {
        *bits = b.bits.get();
    }
    t.bitmaps.emplace(handle, std::move(b));
    return static_cast<HBITMAP>(handle);
}

BOOL WINAPI PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    gdi::Context* c = gdi::context_of(t, dc);
    if (c == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (rop != PATCOPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto brush = t.brushes.find(c->brush);
    const COLORREF colour = brush != t.brushes.end() ? brush->second : RGB(255, 255, 255);
    gdi::record(t, *c, x, y, LONG(std::int64_t(x) + width), LONG(std::int64_t(y) + height), colour);
    return TRUE;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    gdi::Table& t = gdi::table();
    std::lock_guard lock(t.mutex);
    gdi::Context* c = gdi::context_of(t, dc);
    const auto b = t.brushes.find(static_cast<HGDIOBJ>(brush));
    if (c == nullptr || rect == nullptr || b == t.brushes.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (rect->right > rect->left && rect->bottom > rect->top) {
        c->fills.push_back(gdi::Fill{*rect, b->second});
        gdi::paint(t, *c, *rect, b->second);
    }
    return 1;
}
}
