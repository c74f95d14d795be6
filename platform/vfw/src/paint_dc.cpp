// Device contexts over Qt painters.
#include "platform/paint_dc.h"

#include <QImage>
#include <QPainter>

#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex dc_mutex;
std::map<HDC, QPainter*>& dcs() {
    static auto* table = new std::map<HDC, QPainter*>;
    return *table;
}
ULONG_PTR next_dc = 0x30010;

HDC enter(QPainter* painter) {
    std::lock_guard lock(dc_mutex);
    auto hdc = reinterpret_cast<HDC>(next_dc);
    next_dc += 4;
    dcs().emplace(hdc, painter);
    return hdc;
}

} // namespace

PaintDC::PaintDC(QPainter& painter) : hdc_(enter(&painter)) {}

PaintDC::PaintDC(QImage& image) : own_(new QPainter(&image)), hdc_(enter(own_)) {}

PaintDC::~PaintDC() {
    {
        std::lock_guard lock(dc_mutex);
        dcs().erase(hdc_);
    }
    if (own_) {
        own_->end();
        delete own_;
    }
}

QPainter* painter_of(HDC hdc) {
    std::lock_guard lock(dc_mutex);
    auto it = dcs().find(hdc);
    return it == dcs().end() ? nullptr : it->second;
}

} // namespace platform
