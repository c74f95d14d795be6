#include "chanel_window.h"

#include "detector/detector.h"
#include "base/language.h"
#include "base/language_lines.h"
#include "live_ports.h"

#include <pixaro/colorspace.h>
#include <win32/sysinfo.h>

#include <algorithm>
#include <cstring>

namespace station {

namespace {

constexpr std::size_t kBitmapHeaderSize = 40;
constexpr std::size_t kGreyHeaderSize = kBitmapHeaderSize + 256 * 4;

std::int32_t read_i32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[at]) |
                                     (static_cast<std::uint32_t>(b[at + 1]) << 8) |
                                     (static_cast<std::uint32_t>(b[at + 2]) << 16) |
                                     (static_cast<std::uint32_t>(b[at + 3]) << 24));
}

void put_u32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// A bitmap header of size 40 with the given geometry, one plane, no compression, zeros
// elsewhere but the colour counts.
void fill_header(std::uint8_t* h, std::int32_t w, std::int32_t ht, int bits,
                 std::uint32_t colours) {
    std::memset(h, 0, kBitmapHeaderSize);
    put_u32(h, 40);
    put_u32(h + 4, static_cast<std::uint32_t>(w));
    put_u32(h + 8, static_cast<std::uint32_t>(ht));
    h[12] = 1;
    h[14] = static_cast<std::uint8_t>(bits);
    put_u32(h + 32, colours);
    put_u32(h + 36, colours);
}

std::int32_t clamp_per_mille(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, 999));
}

std::int32_t to_per_mille(int pixel, int extent) {
    if (extent <= 0) {
        return 0;
    }
    return static_cast<std::int32_t>(static_cast<std::int64_t>(pixel) * 1000 / extent);
}

} // namespace

FrameFormat ParseFrameFormat(std::span<const std::uint8_t> header) {
    FrameFormat f;
    if (header.size() < kBitmapHeaderSize) {
        return f;
    }
    f.Width = read_i32(header, 4);
    f.Height = read_i32(header, 8);
    f.BitCount = header[14] | (header[15] << 8);
    f.SubformatMarker = read_i32(header, 24);
    return f;
}

ChanelWindow::ChanelWindow(std::int32_t slot, ChanelContext context)
    : ChanelNumber(slot), context_(std::move(context)) {
    const std::uint32_t now = GetTickCount();
    LastFrameTick = now;
    AlarmTick = now;
    LastWriteTick = now;
    WriteTick = now;
    RemFrameTick = now;
    if (!context_.Search) {
        context_.Search = std::make_shared<ObjectSearch>();
    }
}

void ChanelWindow::FormShow() {
    const std::string input =
        context_.Lang != nullptr ? (*context_.Lang)[kLineInput] : std::string();
    RemCaptionBase = input + " " + std::to_string(CamNumber);
}

void ChanelWindow::SetNewRecPNumOfCam(std::string name) {
    RemCaptionBase = std::move(name);
}

std::string ChanelWindow::Caption() const {
    if (RemNumber > 0) {
        return std::to_string(RemNumber) + " : " + RemCaptionBase;
    }
    if (context_.Tables != nullptr && ValidCamera(CamNumber)) {
        return context_.Tables->CamNames[static_cast<std::size_t>(CamNumber)];
    }
    return {};
}

void ChanelWindow::FormActivate() {
    AlarmTick = GetTickCount();
}

bool ChanelWindow::dialog_open_for_me() const {
    return context_.AdjFound != nullptr && context_.AdjFound->OpenFor(ChanelNumber);
}

// ---- Frames ----

void ChanelWindow::draw_and_find(std::span<const std::uint8_t> header,
                                 std::span<const std::uint8_t> pixels, int remoteFlag) {
    Visualization(header, pixels);
    Visualization_Find_Points_Zone();
    Visualization_Find_Points();
    Find(header, pixels);
    Alarm_Points_Show();
    Alarm_Zone_Show();
    Object_Show(remoteFlag);
}

void ChanelWindow::TakeLocalFrame(std::span<const std::uint8_t> header,
                                  std::span<std::uint8_t> pixels) {
    draw_and_find(header, pixels, 0);
    if (FrameActions* a = context_.Actions) {
        a->Mon_Control(*this);
        a->Zvuk(*this, 0);
        a->Save_To_Disk(*this, header, pixels, 0);
        a->SetAlarmOutputActive(*this, 0);
        a->SetWindowState(*this, 0);
        a->SetRemAlarm(*this, CamNumber, ChNumber);
    }
}

void ChanelWindow::TakeRemoteFrame(std::span<const std::uint8_t> header,
                                   std::span<std::uint8_t> pixels, int remoteFlag) {
    draw_and_find(header, pixels, remoteFlag);
    if (FrameActions* a = context_.Actions) {
        a->Zvuk(*this, remoteFlag);
        a->Save_To_Disk(*this, header, pixels, remoteFlag);
        a->SetAlarmOutputActive(*this, remoteFlag);
        a->SetWindowState(*this, remoteFlag);
    }
}

void ChanelWindow::Visualization(std::span<const std::uint8_t> header,
                                 std::span<const std::uint8_t> pixels) {
    LastFrameTick = GetTickCount();
    if (painter_ == nullptr || painter_->Minimized()) {
        return;
    }
    const FrameFormat f = ParseFrameFormat(header);
    // A frame whose bytes do not hold its picture is not drawn.
    if (!FrameFits(f, pixels.size())) {
        return;
    }
    const auto w = static_cast<std::size_t>(f.Width);
    const auto h = static_cast<std::size_t>(f.Height);
    switch (f.BitCount) {
    case 8: {
        std::array<std::uint8_t, kGreyHeaderSize> grey{};
        fill_header(grey.data(), f.Width, f.Height, 8, 256);
        for (int i = 0; i < 256; ++i) {
            std::uint8_t* e = grey.data() + kBitmapHeaderSize + static_cast<std::size_t>(i) * 4;
            e[0] = e[1] = e[2] = static_cast<std::uint8_t>(i);
        }
        painter_->DrawPicture(grey, pixels.data());
        return;
    }
    case 16: {
        if (f.SubformatMarker == kSubformatRgb555) {
            painter_->DrawPicture(header, pixels.data());
            return;
        }
        bgrx_.assign(w * h * 4, 0);
        bool converted = false;
        if (f.SubformatMarker == kSubformatYuy2) {
            converted = ColorspaceConv(bgrx_.data(), pixels.data(), f.Width, f.Height, pixaro::BGRX,
                                       pixaro::YUY2) != 0;
        } else if (f.SubformatMarker == kSubformatPacked411) {
            yuy2_.assign(w * h * 2, 0);
            converted = ColorspaceConv(yuy2_.data(), pixels.data(), f.Width, f.Height, pixaro::YUY2,
                                       pixaro::BTYUV) != 0 &&
                        ColorspaceConv(bgrx_.data(), yuy2_.data(), f.Width, f.Height, pixaro::BGRX,
                                       pixaro::YUY2) != 0;
        }
        if (converted) {
            std::array<std::uint8_t, kBitmapHeaderSize> shared{};
            fill_header(shared.data(), f.Width, f.Height, 32, 0);
            painter_->DrawPicture(shared, bgrx_.data());
        }
        // The conversion buffers live for this frame only.
        std::vector<std::uint8_t>().swap(yuy2_);
        std::vector<std::uint8_t>().swap(bgrx_);
        return;
    }
    case 24:
    case 32:
        painter_->DrawPicture(header, pixels.data());
        return;
    default:
        return;
    }
}

void ChanelWindow::Find(std::span<const std::uint8_t> header,
                        std::span<const std::uint8_t> pixels) {
    station::Find(Detection, ParseFrameFormat(header), pixels, *context_.Search);
}

// ---- Overlays ----

int ChanelWindow::panel_x(std::int32_t perMille) const {
    return PerMilleToPixel(painter_->PanelWidth(), perMille);
}
int ChanelWindow::panel_y(std::int32_t perMille) const {
    return PerMilleToPixel(painter_->PanelHeight(), perMille);
}

void ChanelWindow::draw_square(AlarmPen pen, int x, int y) {
    painter_->DrawRect(pen, x - 1, y - 1, x + 1, y + 1);
}

void ChanelWindow::draw_squares(AlarmPen pen, const std::int32_t* xs, const std::int32_t* ys,
                                std::int32_t count) {
    const std::int32_t n = std::min(count, kMaxDetectionPoints);
    for (std::int32_t i = 0; i < n; ++i) {
        draw_square(pen, panel_x(xs[i]), panel_y(ys[i]));
    }
}

void ChanelWindow::draw_outline(AlarmPen pen, int l, int t, int r, int b) {
    const PanelPoint pts[5] = {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}};
    painter_->DrawPolyline(pen, pts);
}

void ChanelWindow::draw_double_frame(AlarmPen pen, int l, int t, int r, int b) {
    draw_outline(pen, l, t, r, b);
    draw_outline(pen, l + 1, t + 1, r - 1, b - 1);
}

void ChanelWindow::Visualization_Find_Points() {
    if (painter_ == nullptr || painter_->Minimized() || !dialog_open_for_me() ||
        context_.AdjFound->ShowsPicturePage || Detection.PointCount <= 0) {
        return;
    }
    draw_squares(kPenGreen, Detection.PointX.data(), Detection.PointY.data(), Detection.PointCount);
}

void ChanelWindow::Visualization_Find_Points_Zone() {
    if (painter_ == nullptr || painter_->Minimized() || !dialog_open_for_me() ||
        (AreaAdd == 0 && AreaRemove == 0)) {
        return;
    }
    draw_outline(kPenGreen, AreaAnchorX, AreaAnchorY, AreaCornerX, AreaCornerY);
}

void ChanelWindow::Alarm_Points_Show() {
    if (painter_ == nullptr || painter_->Minimized() || Detection.ChangesFound == 0 ||
        Detection.ChangedCount <= 0 || ShowPoints == 0) {
        return;
    }
    draw_squares(kPenYellow, Detection.ChangedX.data(), Detection.ChangedY.data(),
                 Detection.ChangedCount);
}

void ChanelWindow::Alarm_Zone_Show() {
    if (painter_ == nullptr || painter_->Minimized() || Detection.ChangesFound == 0 ||
        ShowZone == 0) {
        return;
    }
    draw_double_frame(kPenYellow, panel_x(Detection.ZoneMinX), panel_y(Detection.ZoneMinY),
                      panel_x(Detection.ZoneMaxX), panel_y(Detection.ZoneMaxY));
}

bool ChanelWindow::InputAlarm() const {
    if (UseInput == 0 || AlarmInputNumber < 1 || AlarmInputNumber > 16) {
        return false;
    }
    const std::int16_t word = context_.Board != nullptr ? context_.Board->SensorWord() : -1;
    const bool set = ((static_cast<std::uint16_t>(word) >> (AlarmInputNumber - 1)) & 1u) != 0;
    return (AlarmInputState == 1 && set) || (AlarmInputState == 0 && !set);
}

bool ChanelWindow::RemoteAlarm(int remoteFlag) const {
    return RemNumber > 0 && remoteFlag == 1 && UseRemAlarm != 0;
}

void ChanelWindow::Object_Show(int remoteFlag) {
    if (painter_ == nullptr || painter_->Minimized()) {
        return;
    }
    const int w = painter_->PanelWidth();
    const int h = painter_->PanelHeight();
    if (DetectionAlarm(Detection) && ShowObject != 0) {
        const std::int32_t half = Detection.ObjectSize / 2;
        const int l = std::clamp(panel_x(Detection.ObjectX - half), 0, std::max(w - 1, 0));
        const int t = std::clamp(panel_y(Detection.ObjectY - half), 0, std::max(h - 1, 0));
        const int r = std::clamp(panel_x(Detection.ObjectX + half), 0, std::max(w - 1, 0));
        const int b = std::clamp(panel_y(Detection.ObjectY + half), 0, std::max(h - 1, 0));
        draw_double_frame(kPenRed, l, t, r, b);
    }
    if (InputAlarm()) {
        draw_double_frame(kPenRed, 0, 0, w - 1, h - 1);
    }
    if (RemoteAlarm(remoteFlag)) {
        draw_double_frame(kPenBlue, 2, 2, w - 3, h - 3);
    }
}

// ---- Mouse editing ----

void ChanelWindow::append_point(std::int32_t x, std::int32_t y) {
    const auto n = static_cast<std::size_t>(Detection.PointCount);
    Detection.PointX[n] = x;
    Detection.PointY[n] = y;
    ++Detection.PointCount;
}

void ChanelWindow::remove_point(std::int32_t index) {
    const auto i = static_cast<std::size_t>(index);
    const auto n = static_cast<std::size_t>(Detection.PointCount);
    std::copy(Detection.PointX.begin() + static_cast<std::ptrdiff_t>(i + 1),
              Detection.PointX.begin() + static_cast<std::ptrdiff_t>(n),
              Detection.PointX.begin() + static_cast<std::ptrdiff_t>(i));
    std::copy(Detection.PointY.begin() + static_cast<std::ptrdiff_t>(i + 1),
              Detection.PointY.begin() + static_cast<std::ptrdiff_t>(n),
              Detection.PointY.begin() + static_cast<std::ptrdiff_t>(i));
    --Detection.PointCount;
}

void ChanelWindow::PanelMouseDown(MouseButton button, bool shift, int x, int y, int windowLeft,
                                  int windowTop) {
    if (!dialog_open_for_me()) {
        if (painter_ != nullptr) {
            painter_->PopupMonitorMenu(windowLeft + x, windowTop + y);
        }
        return;
    }
    if (painter_ == nullptr) {
        return;
    }
    Detection.PointCount = std::clamp(Detection.PointCount, 0, kMaxDetectionPoints);
    if (shift) {
        AreaAdd = button == MouseButton::Left ? 1 : 0;
        AreaRemove = button == MouseButton::Left ? 0 : 1;
        AreaAnchorX = x;
        AreaAnchorY = y;
        return;
    }
    if (button == MouseButton::Left) {
        if (Detection.PointCount < kMaxDetectionPoints) {
            append_point(clamp_per_mille(to_per_mille(x, painter_->PanelWidth())),
                         clamp_per_mille(to_per_mille(y, painter_->PanelHeight())));
        }
        return;
    }
    for (std::int32_t i = 0; i < Detection.PointCount; ++i) {
        const int px = panel_x(Detection.PointX[static_cast<std::size_t>(i)]);
        const int py = panel_y(Detection.PointY[static_cast<std::size_t>(i)]);
        if (std::abs(px - x) < 5 && std::abs(py - y) < 5) {
            remove_point(i);
            return;
        }
    }
}

void ChanelWindow::PanelMouseMove(int x, int y) {
    const int w = painter_ != nullptr ? painter_->PanelWidth() : 0;
    const int h = painter_ != nullptr ? painter_->PanelHeight() : 0;
    AreaCornerX = std::clamp(x, 0, std::max(w, 0));
    AreaCornerY = std::clamp(y, 0, std::max(h, 0));
}

void ChanelWindow::PanelMouseUp(bool shift) {
    if (AreaAdd == 0 && AreaRemove == 0) {
        return;
    }
    const bool adding = AreaAdd != 0;
    AreaAdd = 0;
    AreaRemove = 0;
    if (!dialog_open_for_me() || !shift || painter_ == nullptr) {
        return;
    }
    Detection.PointCount = std::clamp(Detection.PointCount, 0, kMaxDetectionPoints);
    const int x1 = std::min(AreaAnchorX, AreaCornerX);
    const int x2 = std::max(AreaAnchorX, AreaCornerX);
    const int y1 = std::min(AreaAnchorY, AreaCornerY);
    const int y2 = std::max(AreaAnchorY, AreaCornerY);
    if (adding) {
        const int w = painter_->PanelWidth();
        const int h = painter_->PanelHeight();
        const std::int32_t px1 = to_per_mille(x1, w);
        const std::int32_t px2 = to_per_mille(x2, w);
        const std::int32_t py1 = to_per_mille(y1, h);
        const std::int32_t py2 = to_per_mille(y2, h);
        // A step below 1 (from a damaged settings file) would never end the rows.
        const std::int32_t step = std::max(PointStep, 1);
        for (std::int32_t y = py1; y <= py2; y += step) {
            y = clamp_per_mille(y);
            for (std::int32_t x = px1; x <= px2; x += step) {
                x = clamp_per_mille(x);
                if (Detection.PointCount >= kMaxDetectionPoints) {
                    return;
                }
                append_point(x, y);
            }
        }
        return;
    }
    // Removing the first point inside until none is left inside keeps the others in order:
    // one compacting pass.
    std::int32_t kept = 0;
    for (std::int32_t i = 0; i < Detection.PointCount; ++i) {
        const auto si = static_cast<std::size_t>(i);
        const int px = panel_x(Detection.PointX[si]);
        const int py = panel_y(Detection.PointY[si]);
        if (px >= x1 && px <= x2 && py >= y1 && py <= y2) {
            continue;
        }
        Detection.PointX[static_cast<std::size_t>(kept)] = Detection.PointX[si];
        Detection.PointY[static_cast<std::size_t>(kept)] = Detection.PointY[si];
        ++kept;
    }
    Detection.PointCount = kept;
}

void ChanelWindow::Mon1Click(int m) {
    if (!ValidMonitor(m) || context_.Tables == nullptr ||
        !context_.Tables->MonManual[static_cast<std::size_t>(m)]) {
        return;
    }
    if (RemNumber != 0) {
        if (ValidRemote(RemNumber) && context_.Remotes != nullptr &&
            context_.Remotes->Exists(RemNumber)) {
            context_.Remotes->RequestMonitorSwitch(RemNumber, static_cast<std::int16_t>(CamNumber),
                                                   static_cast<std::int16_t>(m));
        }
        return;
    }
    if (context_.Board != nullptr) {
        context_.Board->SwitchMonitorMux(m, CamNumber);
    }
}

} // namespace station
