// The camera window `TFormChanel`: the video panel `Panel1`, the side bar `Panel2` with
// `WriteBtn` (latching manual recording) and `FindBtn` (settings dialog), and the monitor menu
// `MonSelectMenu`. The behaviour is the engine's ChanelWindow; this class only paints and
// forwards events.
#pragma once

#include "live/chanel_window.h"
#include "live/live_station.h"

#include <win32/gdi.h>

#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

class QMenu;
class QToolButton;

namespace station {

// What a camera window asks of the rest of the station.
struct ChanelHooks {
    std::function<bool(int right)> QuerryStatus; // access rights (1: may close)
    std::function<void()> ToggleMesForm;         // Alt+F1
    std::function<void(int slot)> OpenAdjFound;  // FindBtn: the settings dialog for a slot
    std::function<void()> FreeAdjFound;          // FormDestroy: the open settings dialog
};

// `Panel1`: draws frames with DrawDib and the overlays onto its picture. The picture is a 32-bit
// device-independent bitmap selected into a memory device context, which the frames are drawn
// into; the panel paints the same pixels with Qt.
class ChanelPanel : public QWidget, public ChanelPainter {
public:
    explicit ChanelPanel(QWidget* parent);
    ~ChanelPanel() override;
    ChanelPanel(const ChanelPanel&) = delete;
    ChanelPanel& operator=(const ChanelPanel&) = delete;
    void SetWindow(ChanelWindow* window) { window_ = window; }
    // The picture, over the bitmap's pixels: a copy taken of it must not outlive the next
    // drawing (the panel's own image would move off the bitmap).
    const QImage& Picture() const { return picture_; }

    int PanelWidth() const override { return width(); }
    int PanelHeight() const override { return height(); }
    bool Minimized() const override;
    void DrawPicture(std::span<const std::uint8_t> header, const std::uint8_t* bits) override;
    void DrawRect(AlarmPen pen, int l, int t, int r, int b) override;
    void DrawPolyline(AlarmPen pen, std::span<const PanelPoint> points) override;
    void Repaint() override;
    void PopupMonitorMenu(int x, int y) override;
    bool WriteButtonDown() const override;
    void Minimize() override;
    void Restore() override;
    void RefreshCaption() override;

    QMenu* MonSelectMenu = nullptr;
    QToolButton* WriteBtn = nullptr;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    ChanelWindow* window_ = nullptr;
    HDC memory_dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;       // selected into memory_dc_
    HGDIOBJ stock_bitmap_ = nullptr; // memory_dc_'s own, selected back before it is freed
    QImage picture_;                 // over bitmap_'s pixels
};

class TFormChanel : public QWidget {
public:
    // FormCreate: the window of slot `live.Slots.NewChanelNumber`, owned by `owner`; it frees
    // itself when closed.
    TFormChanel(LiveStation& live, ChanelHooks hooks, QWidget* owner);
    ~TFormChanel() override; // FormDestroy

    ChanelWindow& Window() { return *window_; }
    ChanelPanel* Panel1() const { return panel1_; }
    QWidget* Panel2() const { return panel2_; }
    QToolButton* WriteBtn() const { return write_btn_; }
    QToolButton* FindBtn() const { return find_btn_; }
    QMenu* MonSelectMenu() const { return mon_menu_; }

    // The caption from the window's fields (after FormShow, a remote camera's name, a load).
    void RefreshCaption();
    // SetNewRecPNumOfCam with the caption refreshed.
    void SetNewRecPNumOfCam(std::string name);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void layout_buttons();

    LiveStation& live_;
    ChanelHooks hooks_;
    std::unique_ptr<ChanelWindow> window_;
    ChanelPanel* panel1_ = nullptr;
    QWidget* panel2_ = nullptr;
    QToolButton* write_btn_ = nullptr;
    QToolButton* find_btn_ = nullptr;
    QMenu* mon_menu_ = nullptr;
};

// AddChanelClick: a new camera window in the lowest free slot, shown, with FindBtn enabled by
// right 14 and WriteBtn by right 17. Null with every slot in use.
TFormChanel* AddChanelClick(LiveStation& live, const ChanelHooks& hooks, QWidget* owner);

} // namespace station
