// The camera window's behaviour (the widget TFormChanel drives it): its fields, drawing a frame
// by format, the overlays, mouse editing of the detection points, the caption and the monitor
// menu. Drawing goes to a ChanelPainter, so tests run the window without painting. What an alarm
// triggers (sound, monitors, relay, recording, remote flag, window state) is the FrameActions
// seam, called after the overlays for every frame.
#pragma once

#include "alarm/camera_alarm_fields.h"
#include "detector/detection_fields.h"
#include "detector/detector_object.h"
#include "base/frame_pixels.h"
#include "base/language.h"
#include "base/limits.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace station {

class ChanelWindow;
class BoardPort;
class RemotePort;
struct LiveTables;

// The station's pens for the overlays (colours 0x00BBGGRR).
enum AlarmPen : int {
    kPenGreen = 0,  // 0x00FF00
    kPenYellow = 1, // 0x00FFFF
    kPenRed = 2,    // 0x0000FF
    kPenBlue = 3,   // 0xFF0000
};

struct PanelPoint {
    int x = 0;
    int y = 0;
};

// The window's video panel `Panel1`.
class ChanelPainter {
public:
    virtual ~ChanelPainter() = default;
    virtual int PanelWidth() const = 0;
    virtual int PanelHeight() const = 0;
    virtual bool Minimized() const = 0;
    // The whole picture stretched over the panel. `header` is a 40-byte bitmap header, followed
    // by the colour table where it has one; `bits` the rows, bottom-up.
    virtual void DrawPicture(std::span<const std::uint8_t> header, const std::uint8_t* bits) = 0;
    // GDI rectangle from (l, t) to (r, b) with the pen's outline.
    virtual void DrawRect(AlarmPen pen, int l, int t, int r, int b) = 0;
    virtual void DrawPolyline(AlarmPen pen, std::span<const PanelPoint> points) = 0;
    virtual void Repaint() = 0;
    // Pops up `MonSelectMenu` at screen position (x, y).
    virtual void PopupMonitorMenu(int x, int y) = 0;
    // The window's latching manual-recording button `WriteBtn` is down.
    virtual bool WriteButtonDown() const { return false; }
    // The window minimised or restored to normal. A hidden window (stealth) only takes the
    // state; it is never shown by this.
    virtual void Minimize() {}
    virtual void Restore() {}
    // The window's caption from its fields again (camera, station or board changed).
    virtual void RefreshCaption() {}
};

// The alarm actions of a frame, in this order after the overlays (local frames run all of
// them with remote flag 0; remote frames skip Mon_Control and SetRemAlarm). The frame is the
// header and pixels as given to the window; recording may burn marks into the pixels, which the
// windows after this one and the remote copy then carry.
class FrameActions {
public:
    virtual ~FrameActions() = default;
    virtual void Mon_Control(ChanelWindow& w) = 0;
    virtual void Zvuk(ChanelWindow& w, int remoteFlag) = 0;
    virtual void Save_To_Disk(ChanelWindow& w, std::span<const std::uint8_t> header,
                              std::span<std::uint8_t> pixels, int remoteFlag) = 0;
    virtual void SetAlarmOutputActive(ChanelWindow& w, int remoteFlag) = 0;
    virtual void SetWindowState(ChanelWindow& w, int remoteFlag) = 0;
    virtual void SetRemAlarm(ChanelWindow& w, int camera, int chip) = 0;
};

// No alarm actions: a frame only draws (the live engine's tests, tools).
class NoFrameActions : public FrameActions {
public:
    void Mon_Control(ChanelWindow&) override {}
    void Zvuk(ChanelWindow&, int) override {}
    void Save_To_Disk(ChanelWindow&, std::span<const std::uint8_t>, std::span<std::uint8_t>,
                      int) override {}
    void SetAlarmOutputActive(ChanelWindow&, int) override {}
    void SetWindowState(ChanelWindow&, int) override {}
    void SetRemAlarm(ChanelWindow&, int, int) override {}
};

// Which window the per-camera settings dialog `FormAdjFound` edits.
struct AdjFoundState {
    bool Open = false;
    std::int32_t Slot = 0;
    bool ShowsPicturePage = false; // its fourth page (camera picture and source)
    bool OpenFor(std::int32_t slot) const { return Open && Slot == slot; }
};

// What the windows share: the station's tables, the dialog state, the board (sensor word,
// monitors), the remote links, the detector's working memory and the alarm actions.
struct ChanelContext {
    LiveTables* Tables = nullptr;
    AdjFoundState* AdjFound = nullptr;
    BoardPort* Board = nullptr;
    RemotePort* Remotes = nullptr;
    FrameActions* Actions = nullptr;
    // The station's language texts (the caption of a remote camera's window).
    const LanguageList* Lang = nullptr;
    std::shared_ptr<ObjectSearch> Search;
};

// Mouse buttons and the Shift state as the panel reports them.
enum class MouseButton { Left, Right, Middle };

// The relay-output and alarm-sound fields (UseOutput, OutputPin, OutputState, OutputActive,
// SoundRequest, UseSound, UseSpeaker, SoundFile, QualitySound) are the CameraAlarmFields base,
// which board control and the alarm sound read through the window slots.
class ChanelWindow : public CameraAlarmFields {
public:
    // FormCreate: the creation defaults, ChanelNumber := `slot`.
    ChanelWindow(std::int32_t slot, ChanelContext context);

    // ---- Fields (creation defaults; the settings loader overwrites the stored ones) ----
    std::uint8_t MonRequest = 0;
    std::uint8_t MonWait = 1;
    std::uint32_t LastFrameTick = 0;
    std::uint8_t UseRemAlarm = 0;
    std::uint8_t UseMinimize = 0;
    std::int32_t MinimizeTime = 20;
    std::uint32_t AlarmTick = 0;
    std::uint8_t SpareFlag = 1;
    std::int32_t AlarmOutputTime = 0;
    std::uint32_t OutputTick = 0;
    std::uint8_t UseInput = 0;
    std::int32_t AlarmInputNumber = 1;
    std::int32_t AlarmInputState = 0;
    std::uint8_t AlarmMon = 0;
    std::array<std::uint8_t, kMonitorCount> AlarmMonNumber{}; // monitor m is entry m - 1
    std::uint8_t HoldActive = 0;
    std::uint32_t HoldTick = 0;
    std::string RemCaptionBase; // CP1251
    std::uint32_t LastWriteTick = 0;
    std::uint32_t WriteTick = 0;
    std::int32_t ChanelNumber = 0;
    std::int32_t CamNumber = 1;
    std::int32_t RemNumber = 0;
    std::int32_t ChNumber = 1;
    std::int32_t PointStep = 15;
    std::int32_t HoldTime = 1;
    std::int32_t WriteInterval = 0;
    std::int32_t ZoneSize = 0;
    std::uint8_t WriteOnAlarm = 0;
    std::uint8_t UseHold = 0;
    std::uint8_t ShowPoints = 0;
    std::uint8_t ShowZone = 0;
    std::uint8_t ShowObject = 1;
    std::uint8_t LiveVideo = 1;
    std::uint8_t AreaAdd = 0;
    std::uint8_t AreaRemove = 0;
    std::int32_t AreaAnchorX = 0;
    std::int32_t AreaAnchorY = 0;
    std::int32_t AreaCornerX = 0;
    std::int32_t AreaCornerY = 0;
    std::uint8_t WriteJpeg = 1;
    std::int32_t WriteQuality = 80;
    std::uint8_t NetJpeg = 1;
    std::int32_t NetQuality = 50;
    std::uint8_t RemFrameSeen = 1;
    std::uint32_t RemFrameTick = 0;
    // The detector's settings, state and results (points, sigma, threshold, changes, object).
    DetectionFields Detection;

    // ---- Interfaces ----
    void SetPainter(ChanelPainter* painter) { painter_ = painter; }
    ChanelPainter* Painter() const { return painter_; }
    const ChanelContext& Context() const { return context_; }

    // FormShow: RemCaptionBase := line 118 + " " + CamNumber.
    void FormShow();
    // The remote link's camera name from a camera frame.
    void SetNewRecPNumOfCam(std::string name);
    // "RemNumber : RemCaptionBase" for a remote camera, else CamNames[CamNumber] (CP1251).
    std::string Caption() const;
    // FormActivate: idle time starts again.
    void FormActivate();

    // A local frame from the hand-off: the drawing, the detector, the overlays and every alarm
    // action with remote flag 0.
    void TakeLocalFrame(std::span<const std::uint8_t> header, std::span<std::uint8_t> pixels);
    // A remote camera's frame: the same without Mon_Control and SetRemAlarm.
    void TakeRemoteFrame(std::span<const std::uint8_t> header, std::span<std::uint8_t> pixels,
                         int remoteFlag);

    // Drawing steps, public for the dispatch order and for tests.
    void Visualization(std::span<const std::uint8_t> header, std::span<const std::uint8_t> pixels);
    void Visualization_Find_Points_Zone();
    void Visualization_Find_Points();
    // The detector (Find); a frame it cannot read counts as one without changes.
    void Find(std::span<const std::uint8_t> header, std::span<const std::uint8_t> pixels);
    void Alarm_Points_Show();
    void Alarm_Zone_Show();
    void Object_Show(int remoteFlag);

    // Alarm conditions.
    bool InputAlarm() const;
    bool RemoteAlarm(int remoteFlag) const;

    // Mouse on the panel (panel pixels).
    void PanelMouseDown(MouseButton button, bool shift, int x, int y, int windowLeft,
                        int windowTop);
    void PanelMouseMove(int x, int y);
    void PanelMouseUp(bool shift);

    // Monitor menu item m (1..4).
    void Mon1Click(int m);

private:
    bool dialog_open_for_me() const;
    // The drawing, the detector and the overlays of one frame, in their order.
    void draw_and_find(std::span<const std::uint8_t> header, std::span<const std::uint8_t> pixels,
                       int remoteFlag);
    void draw_square(AlarmPen pen, int x, int y);
    // A square at each of the first `count` (at most 10000) per-mille points.
    void draw_squares(AlarmPen pen, const std::int32_t* xs, const std::int32_t* ys,
                      std::int32_t count);
    void draw_outline(AlarmPen pen, int l, int t, int r, int b);
    void draw_double_frame(AlarmPen pen, int l, int t, int r, int b);
    void append_point(std::int32_t x, std::int32_t y);
    void remove_point(std::int32_t index);
    int panel_x(std::int32_t perMille) const;
    int panel_y(std::int32_t perMille) const;

    ChanelContext context_;
    ChanelPainter* painter_ = nullptr;
    // Conversion buffers of the current frame (freed after drawing).
    std::vector<std::uint8_t> yuy2_;
    std::vector<std::uint8_t> bgrx_;
};

// Width, height, depth and 16-bit marker of a bitmap header (biWidth, biHeight, biBitCount,
// biXPelsPerMeter); all 0 when the header is shorter than 40 bytes.
FrameFormat ParseFrameFormat(std::span<const std::uint8_t> header);

} // namespace station
