// GDI objects and recording device contexts. Brushes and contexts live in one table under one
// lock; a context records every fill with the colour of the brush used.
#include "platform/gdi_recorder.h"
#include "win32/errors.h"
#include "win32/gdi.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace platform::gdi {
namespace {

struct Context {
    HGDIOBJ brush = nullptr;
    std::vector<Fill> fills;
};

struct Table {
    std::mutex mutex;
    std::map<HGDIOBJ, COLORREF> brushes;
    std::map<HDC, Context> contexts;
    std::uintptr_t next = 0x30000;
    HGDIOBJ white = nullptr; // the stock brush every context starts with

    Table() { white = add_brush(RGB(255, 255, 255)); }

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

// Records a fill of the rectangle spanned by two corners, in either order.
void record(Context& c, LONG x1, LONG y1, LONG x2, LONG y2, COLORREF colour) {
    RECT r{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
    c.fills.push_back(Fill{r, colour});
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
    return t.brushes.size() - 1;
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
    if (object == t.white) {
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
    if (c == nullptr || t.brushes.count(object) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    const HGDIOBJ old = c->brush;
    c->brush = object;
    return old;
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
    gdi::record(*c, x, y, LONG(std::int64_t(x) + width), LONG(std::int64_t(y) + height), colour);
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
    }
    return 1;
}
}
