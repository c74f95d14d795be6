// The per-camera settings dialog (TFormAdjFound) without widgets: four pages whose controls write
// straight into the edited camera window (looked up afresh in the slots by every handler; a
// window that is gone is left alone), an undo copy taken at showing that Cancel puts back, the
// change tracking (`Ready` from the first timer tick, `Modified`) and the work-log lines.
//
// The form shows `Controls()`: the controls' values, the shown numbers and the enabling. It
// loads them with its signals blocked (loading writes nothing back) and renders them again after
// every handler. While the dialog is open for a window, that window shows its detection points
// and lets the mouse add and remove them.
#pragma once

#include "base/base_state.h"
#include "base/limits.h"
#include "live/chanel_slots.h"
#include "live/chanel_window.h"
#include "live/live_ports.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace station {

// The camera picture tables the fourth page edits: entry c - 1 of each is camera c (1..16);
// a null table is not edited.
struct CameraPicture {
    std::int32_t* Bright = nullptr;
    std::int32_t* Contr = nullptr;
    std::int32_t* Sat = nullptr;
    std::int32_t* Hue = nullptr;
};

// What the dialog shows.
struct AdjFoundControls {
    // Detection page.
    int PointStep = 1;    // SB6 1..1000
    int Threshold = 0;    // SB1 0..255
    int SigmaPos = 0;     // SB5 0..1000, SigmaFactor x 10
    int ObjectSize = 1;   // SB4 1..1000
    int ObjectPoints = 1; // SB2 1..1000
    int FindFrames = 1;   // SB7 1..100
    int SigmaMode = 0;    // RadioButton3 (0) or RadioButton4 (1)
    bool ShowPoints = false, ShowZone = false, ShowObject = false, LiveVideo = false;
    std::string PointCountText; // Label11
    bool UseInput = false;
    std::string InputNumberText = "1", InputStateText = "0";
    // Alarm and recording page.
    bool WriteOnAlarm = false;
    int WriteInterval = 0; // SB3 0..60000
    bool WriteJpeg = false;
    int WriteQuality = 1; // SB8 1..100
    bool UseSound = false;
    bool UseSpeaker = true; // RadioButton1, else RadioButton2
    std::string SoundFile;  // Edit1
    bool QualitySound = false;
    bool UseOutput = false;
    std::string OutputPinText = "1", StateText = "0", OutputTimeText = "0";
    bool UseMinimize = false;
    std::string MinimizeTimeText = "5";
    bool AlarmMon = false;
    std::array<bool, kMonitorCount> AlarmMonNumber{};
    // Network page.
    bool NetJpeg = false;
    int NetQuality = 1; // ScrollBar2 1..100
    bool UseRemAlarm = false;
    // Picture and source page.
    int Bright = 0, Contr = 0, Sat = 0, Hue = 0; // 0..255
    int CamIndex = 0;                            // CamSelectCB, camera - 1
    int RemIndex = 0;                            // RemSelectCB, 0 this station
    std::vector<std::string> ChItems;            // present boards
    std::string ChText;                          // ChSelectCB's text

    // Enabling.
    bool ThresholdOn = true, SigmaOn = false;
    bool WriteQualityOn = false;
    bool SoundChoiceOn = false, SoundFileOn = false;
    bool OutputOn = false, MinimizeOn = false, AlarmMonNumberOn = false;
    bool NetQualityOn = false, InputOn = false;
    bool CamSelectOn = false, RemSelectOn = false, ChSelectOn = false;
};

class AdjFoundModel {
public:
    struct Ports {
        const BaseState& Base;
        ChanelSlots& Slots;
        // The live station's note of the dialog (which window shows its points).
        AdjFoundState& Dialog;
        LiveTables& Tables;
        CameraPicture Picture;
        // Entry k - 1: board k is present.
        const std::array<bool, kChipCount>& ChipPresent;
        // Access level (0 locked, 1 full, 2 limited by the rights) and one right.
        std::function<int()> AccessStatus;
        std::function<bool(int right)> AccessRight;
    };

    // The check boxes and radio buttons with a field each.
    enum class Check {
        ShowPoints,   // CheckBox4
        ShowZone,     // CheckBox5
        ShowObject,   // CheckBox6
        LiveVideo,    // CheckBox9
        UseInput,     // UseInputCB
        WriteOnAlarm, // CheckBox3
        WriteJpeg,    // CheckBox8
        UseSound,     // CheckBox1
        QualitySound, // CheckBox2
        UseOutput,    // UseOutputCB
        UseMinimize,  // UseMinimizeCB
        AlarmMon,     // AlarmMonCB
        NetJpeg,      // CheckBox11
        UseRemAlarm,  // UseRemAlarmCB
    };
    // The scroll bars.
    enum class Bar {
        PointStep,    // SB6
        Threshold,    // SB1
        SigmaFactor,  // SB5
        ObjectSize,   // SB4
        ObjectPoints, // SB2
        FindFrames,   // SB7
        WriteInterval,
        WriteQuality, // SB8
        NetQuality,   // ScrollBar2
        Bright,       // BrightSB (not shown)
        Contr,        // ContrSB (not shown)
        Sat,          // SatSB
        Hue,          // HueSB
    };
    // The six number edits, with one key filter.
    enum class Edit {
        OutputPin,
        OutputState,
        AlarmOutputTime,
        AlarmInputNumber,
        AlarmInputState,
        MinimizeTime,
    };
    struct EditRule {
        int MaxLength;
        int Min;
        int Max;
        const char* Empty;
    };
    static const EditRule& RuleOf(Edit e);

    AdjFoundModel(Ports ports, std::int32_t slot);
    AdjFoundModel(const AdjFoundModel&) = delete;
    AdjFoundModel& operator=(const AdjFoundModel&) = delete;

    std::int32_t EditedSlot() const { return slot_; }
    // ChanelForms[EditedSlot], or null when the window is gone.
    ChanelWindow* Window() const;
    const AdjFoundControls& Controls() const { return c_; }
    const LanguageList& Lang() const { return ports_.Base.LangList; }
    bool Ready() const { return ready_; }
    bool Modified() const { return modified_; }
    // Dialog caption [5]; camera and station selector items.
    std::string Caption() const;
    std::vector<std::string> CamItems() const;
    std::vector<std::string> RemItems() const;

    // FormShow: rights, the controls loaded from the window, the undo copy and the points
    // backup, the showing line; the window shows its points from now on.
    void FormShow();
    // Timer1Timer (100 ms): ready; the point count.
    void Timer1Timer();
    // The page shown (0..3): the fourth hides the window's points.
    void PageChanged(int page);
    // OK: the sound-file text taken, the change line when something was changed.
    void OKBtnClick();
    // Cancel: the undo copy and the points back, the caption rebuilt, the lines.
    void CancelBtnClick();
    // FormDestroy (however the dialog goes): the closing line; the window's points hidden.
    void FormDestroy();

    // ---- Handlers ----
    void CheckClick(Check check, bool on);
    void BarChange(Bar bar, int position);
    // RadioButton3 (0) and RadioButton4 (1).
    void SigmaModeClick(int mode);
    // RadioButton1 (speaker 1) and RadioButton2 (sound card 0).
    void SpeakerClick(bool speaker);
    // B1: the standard grid of 4000 points; B2: no points.
    void B1Click();
    void B2Click();
    // AlarmMonNumberCB: any item's check writes all four.
    void AlarmMonNumberClick(int item, bool on);
    // A number edit's new text (typed or pasted). Answers the text the edit shows after the
    // rule (beeps done); the caret goes to the end when it differs.
    std::string EditChange(Edit edit, const std::string& text);
    // A typed key of a number edit: digits and Backspace pass, anything else beeps.
    static bool EditKeyPasses(char key);
    // Edit1's text as typed; Edit1Exit (losing focus, Enter, and OK) writes it into SoundFile.
    void SoundFileEdited(const std::string& text);
    void Edit1Exit();
    // Page 4.
    void DefaultBtnClick();
    void CamSelect(int index);
    void RemSelect(int index);
    // The board selector's text (chosen or typed). Only a present board 1..4 is taken;
    // anything else keeps the window's board. Answers the text to show.
    std::string ChSelect(const std::string& text);
    // InitBright: the picture bars from the tables at the window's camera.
    void InitBright();

    // The shown numbers: Label1 (threshold in percent), Label4 (sigma factor), Label16 (object
    // size in percent).
    std::string ThresholdText() const;
    std::string SigmaText() const;
    std::string ObjectSizeText() const;

private:
    // Ready: Modified := 1, and for a logged control its line.
    void used(const std::string& logText = {});
    std::string group_text(int group, int control) const;
    std::string title(const ChanelWindow& w) const;
    void load(const ChanelWindow& w);
    void apply_enabling();
    void rebuild_caption(ChanelWindow& w);
    std::int32_t* picture_entry(Bar bar, int camera) const;

    // The window's settings at showing.
    struct Undo {
        std::array<std::uint8_t, kMonitorCount> AlarmMonNumber{};
        std::uint8_t AlarmMon = 0;
        std::int32_t CamNumber = 1, RemNumber = 0, ChNumber = 1;
        std::string RemCaptionBase;
        std::uint8_t UseRemAlarm = 0, UseMinimize = 0;
        std::int32_t MinimizeTime = 0;
        std::uint8_t SpareFlag = 0, LiveVideo = 0, WriteJpeg = 0;
        std::int32_t WriteQuality = 0;
        std::uint8_t NetJpeg = 0;
        std::int32_t NetQuality = 0, PointStep = 0;
        std::uint8_t WriteOnAlarm = 0, UseHold = 0, ShowPoints = 0, ShowZone = 0, ShowObject = 0;
        std::int32_t WriteInterval = 0, HoldTime = 0;
        std::uint8_t QualitySound = 0;
        std::string SoundFile;
        std::uint8_t SigmaMode = 0;
        std::int32_t Threshold = 0;
        double SigmaFactor = 0;
        std::int32_t ObjectPoints = 0, FindFrames = 0, ObjectSize = 0;
        std::uint8_t UseSound = 0, UseSpeaker = 0;
        std::int32_t PointCount = 0;
        std::uint8_t UseOutput = 0;
        std::int32_t OutputPin = 0, OutputState = 0, AlarmOutputTime = 0;
        std::uint8_t UseInput = 0;
        std::int32_t AlarmInputNumber = 0, AlarmInputState = 0;
    };

    Ports ports_;
    std::int32_t slot_;
    AdjFoundControls c_;
    bool ready_ = false;
    bool modified_ = false;
    bool shown_ = false;
    bool destroyed_ = false;
    bool any_board_ = false;
    std::string sound_file_taken_;
    // The points at showing: PointX[k], PointY[k] for k = 1..PointCount; owned here, so it
    // goes with the dialog however the dialog goes.
    std::vector<std::int32_t> point_backup_;
    Undo undo_;
    // The last text each number edit accepted.
    std::array<std::string, 6> edit_text_;
};

// The standard detection grid: 50 rows of 80 points.
void StandardPointGrid(DetectionFields& d);

// A number with one digit after the point, without leading blanks ("17.3").
std::string OneDecimalText(double value);

} // namespace station
