#include "adj_found_model.h"

#include "adj_found_lines.h"
#include "base/dialog_log.h"

#include <win32/dialogs.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace station {

namespace L = adj_found_lines;

namespace {

constexpr UINT kBeep = 0xFFFF;
constexpr int kGridRows = 50;
constexpr int kGridColumns = 80;
constexpr int kCameraItems = kCameraCount;
constexpr int kDefaultSaturation = 128;
constexpr int kDefaultHue = 0;

void beep() {
    MessageBeep(kBeep);
}

bool all_digits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

} // namespace

std::string OneDecimalText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

void StandardPointGrid(DetectionFields& d) {
    d.PointCount = 0;
    for (int i = 1; i <= kGridRows; ++i) {
        for (int j = 1; j <= kGridColumns; ++j) {
            const auto k = static_cast<std::size_t>(d.PointCount);
            d.PointX[k] = static_cast<std::int32_t>((j - 1) * 12.5 + 6);
            d.PointY[k] = 20 * i - 9;
            ++d.PointCount;
        }
    }
}

const AdjFoundModel::EditRule& AdjFoundModel::RuleOf(Edit e) {
    static constexpr EditRule kRules[] = {
        {2, 1, 8, "1"},    // OutputPinEd
        {2, 0, 1, "0"},    // StateEd
        {2, 0, 60, "0"},   // AlarmOutputTimeEd
        {2, 1, 16, "1"},   // AlarmInputNumberEd
        {2, 0, 1, "0"},    // AlarmInputStateEd
        {4, 5, 3600, "5"}, // MinimizeTimeEd
    };
    return kRules[static_cast<std::size_t>(e)];
}

AdjFoundModel::AdjFoundModel(Ports ports, std::int32_t slot)
    : ports_(std::move(ports)), slot_(slot) {
    for (std::size_t i = 0; i < edit_text_.size(); ++i) {
        edit_text_[i] = RuleOf(static_cast<Edit>(i)).Empty;
    }
}

ChanelWindow* AdjFoundModel::Window() const {
    return ports_.Slots.Used(slot_);
}

std::string AdjFoundModel::Caption() const {
    return Lang()[L::kSettings];
}

std::vector<std::string> AdjFoundModel::CamItems() const {
    std::vector<std::string> items;
    for (int n = 1; n <= kCameraItems; ++n) {
        items.push_back(Lang()[L::kInput] + " " + std::to_string(n));
    }
    return items;
}

std::vector<std::string> AdjFoundModel::RemItems() const {
    std::vector<std::string> items{Lang()[L::kThisStation]};
    for (int n = 1; n <= kRemoteStationCount; ++n) {
        items.push_back(Lang()[L::kStation] + " " + std::to_string(n));
    }
    return items;
}

std::string AdjFoundModel::ThresholdText() const {
    return OneDecimalText(c_.Threshold / 2.55) + "%";
}

std::string AdjFoundModel::SigmaText() const {
    return OneDecimalText(c_.SigmaPos / 10.0);
}

std::string AdjFoundModel::ObjectSizeText() const {
    return OneDecimalText(c_.ObjectSize / 10.0) + "%";
}

std::string AdjFoundModel::title(const ChanelWindow& w) const {
    return Lang()[L::kSettings] + " : " + w.Caption();
}

std::string AdjFoundModel::group_text(int group, int control) const {
    return Lang()[group] + ", " + Lang()[control];
}

void AdjFoundModel::used(const std::string& logText) {
    if (!ready_) {
        return;
    }
    modified_ = true;
    if (!logText.empty()) {
        LogDialogButton(ports_.Base, logText);
    }
}

// ---- Showing, timer, OK, Cancel, destruction ----

void AdjFoundModel::load(const ChanelWindow& w) {
    const DetectionFields& d = w.Detection;
    c_.PointStep = std::clamp(w.PointStep, 1, 1000);
    c_.Threshold = std::clamp(d.Threshold, 0, 255);
    // Rounded, so that a factor of k / 10 shows as k (its double times 10 can lie just below).
    c_.SigmaPos = static_cast<int>(std::clamp(std::lround(d.SigmaFactor * 10.0), 0L, 1000L));
    c_.ObjectSize = std::clamp(d.ObjectSize, 1, 1000);
    c_.ObjectPoints = std::clamp(d.ObjectPoints, 1, 1000);
    c_.FindFrames = std::clamp(d.FindFrames, 1, 100);
    c_.SigmaMode = d.SigmaMode == 1 ? 1 : 0;
    c_.ShowPoints = w.ShowPoints != 0;
    c_.ShowZone = w.ShowZone != 0;
    c_.ShowObject = w.ShowObject != 0;
    c_.LiveVideo = w.LiveVideo != 0;
    c_.UseInput = w.UseInput != 0;
    c_.InputNumberText = std::to_string(w.AlarmInputNumber);
    c_.InputStateText = std::to_string(w.AlarmInputState);

    c_.WriteOnAlarm = w.WriteOnAlarm != 0;
    c_.WriteInterval = std::clamp(w.WriteInterval, 0, 60000);
    c_.WriteJpeg = w.WriteJpeg != 0;
    c_.WriteQuality = std::clamp(w.WriteQuality, 1, 100);
    c_.UseSound = w.UseSound != 0;
    c_.UseSpeaker = w.UseSpeaker == 1;
    c_.SoundFile = w.SoundFile;
    sound_file_taken_ = w.SoundFile;
    c_.QualitySound = w.QualitySound != 0;
    c_.UseOutput = w.UseOutput != 0;
    c_.OutputPinText = std::to_string(w.OutputPin);
    c_.StateText = std::to_string(w.OutputState);
    c_.OutputTimeText = std::to_string(w.AlarmOutputTime);
    c_.UseMinimize = w.UseMinimize != 0;
    c_.MinimizeTimeText = std::to_string(w.MinimizeTime);
    c_.AlarmMon = w.AlarmMon != 0;
    for (std::size_t m = 0; m < c_.AlarmMonNumber.size(); ++m) {
        c_.AlarmMonNumber[m] = w.AlarmMonNumber[m] != 0;
    }
    c_.NetJpeg = w.NetJpeg != 0;
    c_.NetQuality = std::clamp(w.NetQuality, 1, 100);
    c_.UseRemAlarm = w.UseRemAlarm != 0;

    c_.CamIndex = std::clamp(w.CamNumber - 1, 0, kCameraItems - 1);
    c_.RemIndex = std::clamp(w.RemNumber, 0, kRemoteStationCount);
    c_.ChText = any_board_ ? std::to_string(w.ChNumber) : std::string();

    edit_text_ = {c_.OutputPinText,   c_.StateText,      c_.OutputTimeText,
                  c_.InputNumberText, c_.InputStateText, c_.MinimizeTimeText};
    apply_enabling();
}

void AdjFoundModel::apply_enabling() {
    c_.ThresholdOn = c_.SigmaMode == 0;
    c_.SigmaOn = c_.SigmaMode == 1;
    c_.WriteQualityOn = c_.WriteJpeg;
    c_.SoundChoiceOn = c_.UseSound;
    c_.SoundFileOn = c_.UseSound && !c_.UseSpeaker;
    c_.OutputOn = c_.UseOutput;
    c_.MinimizeOn = c_.UseMinimize;
    c_.AlarmMonNumberOn = c_.AlarmMon;
    c_.NetQualityOn = c_.NetJpeg;
    c_.InputOn = c_.UseInput;
}

void AdjFoundModel::FormShow() {
    any_board_ = std::any_of(ports_.ChipPresent.begin(), ports_.ChipPresent.end(),
                             [](bool present) { return present; });
    modified_ = false;
    ready_ = false;
    c_.ChItems.clear();
    for (int k = 1; k <= kChipCount; ++k) {
        if (ports_.ChipPresent[static_cast<std::size_t>(k - 1)]) {
            c_.ChItems.push_back(std::to_string(k));
        }
    }
    InitBright();

    const int status = ports_.AccessStatus ? ports_.AccessStatus() : 0;
    const bool right11 = ports_.AccessRight && ports_.AccessRight(11);
    const bool sources = status == 1 || (status == 2 && right11);
    c_.CamSelectOn = sources;
    c_.RemSelectOn = sources;
    c_.ChSelectOn = sources && any_board_;

    ports_.Dialog = AdjFoundState{true, slot_, false};
    shown_ = true;
    ChanelWindow* w = Window();
    if (w == nullptr) {
        return;
    }
    load(*w);

    const DetectionFields& d = w->Detection;
    Undo& u = undo_;
    u.AlarmMonNumber = w->AlarmMonNumber;
    u.AlarmMon = w->AlarmMon;
    u.CamNumber = w->CamNumber;
    u.RemNumber = w->RemNumber;
    u.ChNumber = w->ChNumber;
    u.RemCaptionBase = w->RemCaptionBase;
    u.UseRemAlarm = w->UseRemAlarm;
    u.UseMinimize = w->UseMinimize;
    u.MinimizeTime = w->MinimizeTime;
    u.SpareFlag = w->SpareFlag;
    u.LiveVideo = w->LiveVideo;
    u.WriteJpeg = w->WriteJpeg;
    u.WriteQuality = w->WriteQuality;
    u.NetJpeg = w->NetJpeg;
    u.NetQuality = w->NetQuality;
    u.PointStep = w->PointStep;
    u.WriteOnAlarm = w->WriteOnAlarm;
    u.UseHold = w->UseHold;
    u.ShowPoints = w->ShowPoints;
    u.ShowZone = w->ShowZone;
    u.ShowObject = w->ShowObject;
    u.WriteInterval = w->WriteInterval;
    u.HoldTime = w->HoldTime;
    u.QualitySound = w->QualitySound;
    u.SoundFile = w->SoundFile;
    u.SigmaMode = d.SigmaMode;
    u.Threshold = d.Threshold;
    u.SigmaFactor = d.SigmaFactor;
    u.ObjectPoints = d.ObjectPoints;
    u.FindFrames = d.FindFrames;
    u.ObjectSize = d.ObjectSize;
    u.UseSound = w->UseSound;
    u.UseSpeaker = w->UseSpeaker;
    u.PointCount = std::clamp(d.PointCount, 0, kMaxDetectionPoints);
    u.UseOutput = w->UseOutput;
    u.OutputPin = w->OutputPin;
    u.OutputState = w->OutputState;
    u.AlarmOutputTime = w->AlarmOutputTime;
    u.UseInput = w->UseInput;
    u.AlarmInputNumber = w->AlarmInputNumber;
    u.AlarmInputState = w->AlarmInputState;
    point_backup_.clear();
    for (std::int32_t k = 0; k < u.PointCount; ++k) {
        point_backup_.push_back(d.PointX[static_cast<std::size_t>(k)]);
        point_backup_.push_back(d.PointY[static_cast<std::size_t>(k)]);
    }
    LogDialogOpened(ports_.Base, title(*w));
}

void AdjFoundModel::Timer1Timer() {
    ready_ = true;
    if (const ChanelWindow* w = Window()) {
        c_.PointCountText = std::to_string(w->Detection.PointCount);
    }
}

void AdjFoundModel::PageChanged(int page) {
    if (ports_.Dialog.OpenFor(slot_)) {
        ports_.Dialog.ShowsPicturePage = page == 3;
    }
}

void AdjFoundModel::OKBtnClick() {
    // A sound-file name typed and confirmed with OK is taken as when the edit loses focus.
    if (c_.SoundFile != sound_file_taken_) {
        Edit1Exit();
    }
    const ChanelWindow* w = Window();
    if (w != nullptr && modified_) {
        LogDialogChanged(ports_.Base, title(*w));
    }
}

void AdjFoundModel::CancelBtnClick() {
    ChanelWindow* w = Window();
    if (w == nullptr || !shown_) {
        return;
    }
    const Undo& u = undo_;
    DetectionFields& d = w->Detection;
    w->AlarmMonNumber = u.AlarmMonNumber;
    w->AlarmMon = u.AlarmMon;
    w->CamNumber = u.CamNumber;
    w->RemNumber = u.RemNumber;
    w->ChNumber = u.ChNumber;
    w->RemCaptionBase = u.RemCaptionBase;
    w->UseRemAlarm = u.UseRemAlarm;
    w->UseMinimize = u.UseMinimize;
    w->MinimizeTime = u.MinimizeTime;
    w->SpareFlag = u.SpareFlag;
    w->LiveVideo = u.LiveVideo;
    w->WriteJpeg = u.WriteJpeg;
    w->WriteQuality = u.WriteQuality;
    w->NetJpeg = u.NetJpeg;
    w->NetQuality = u.NetQuality;
    w->PointStep = u.PointStep;
    w->WriteOnAlarm = u.WriteOnAlarm;
    w->UseHold = u.UseHold;
    w->ShowPoints = u.ShowPoints;
    w->ShowZone = u.ShowZone;
    w->ShowObject = u.ShowObject;
    w->WriteInterval = u.WriteInterval;
    w->HoldTime = u.HoldTime;
    w->QualitySound = u.QualitySound;
    w->SoundFile = u.SoundFile;
    d.SigmaMode = u.SigmaMode;
    d.Threshold = u.Threshold;
    d.SigmaFactor = u.SigmaFactor;
    d.ObjectPoints = u.ObjectPoints;
    d.FindFrames = u.FindFrames;
    d.ObjectSize = u.ObjectSize;
    w->UseSound = u.UseSound;
    w->UseSpeaker = u.UseSpeaker;
    w->UseOutput = u.UseOutput;
    w->OutputPin = u.OutputPin;
    w->OutputState = u.OutputState;
    w->AlarmOutputTime = u.AlarmOutputTime;
    w->UseInput = u.UseInput;
    w->AlarmInputNumber = u.AlarmInputNumber;
    w->AlarmInputState = u.AlarmInputState;
    // A rectangle drag in progress ends without effect.
    w->AreaAdd = 0;
    w->AreaRemove = 0;
    d.PointCount = u.PointCount;
    for (std::int32_t k = 0; k < u.PointCount; ++k) {
        const auto at = static_cast<std::size_t>(k) * 2;
        d.PointX[static_cast<std::size_t>(k)] = point_backup_[at];
        d.PointY[static_cast<std::size_t>(k)] = point_backup_[at + 1];
    }
    // The caption follows the restored camera and station.
    if (ChanelPainter* p = w->Painter()) {
        p->RefreshCaption();
        p->Repaint();
    }
    if (modified_) {
        LogDialogChanged(ports_.Base, title(*w));
        LogDialogCancelled(ports_.Base);
    }
}

void AdjFoundModel::FormDestroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    if (const ChanelWindow* w = Window()) {
        LogDialogClosed(ports_.Base, title(*w));
    }
    if (ports_.Dialog.OpenFor(slot_)) {
        ports_.Dialog = AdjFoundState{};
    }
}

// ---- Handlers ----

void AdjFoundModel::CheckClick(Check check, bool on) {
    ChanelWindow* w = nullptr;
    const auto bit = static_cast<std::uint8_t>(on ? 1 : 0);
    switch (check) {
    case Check::ShowPoints:
        used(Lang()[L::kShowPoints]);
        c_.ShowPoints = on;
        if ((w = Window()) != nullptr) {
            w->ShowPoints = bit;
        }
        return;
    case Check::ShowZone:
        used(Lang()[L::kShowZone]);
        c_.ShowZone = on;
        if ((w = Window()) != nullptr) {
            w->ShowZone = bit;
        }
        return;
    case Check::ShowObject:
        used(Lang()[L::kShowObject]);
        c_.ShowObject = on;
        if ((w = Window()) != nullptr) {
            w->ShowObject = bit;
        }
        return;
    case Check::LiveVideo:
        used(Lang()[L::kLiveVideo]);
        c_.LiveVideo = on;
        if ((w = Window()) != nullptr) {
            w->LiveVideo = bit;
        }
        return;
    case Check::UseInput:
        used(Lang()[L::kUseInput]);
        c_.UseInput = on;
        if ((w = Window()) != nullptr) {
            w->UseInput = bit;
            c_.InputOn = on;
        }
        return;
    case Check::WriteOnAlarm:
        used(group_text(L::kRecordGroup, L::kUse));
        c_.WriteOnAlarm = on;
        if ((w = Window()) != nullptr) {
            w->WriteOnAlarm = bit;
        }
        return;
    case Check::WriteJpeg:
        used(group_text(L::kRecordGroup, L::kCompression));
        c_.WriteJpeg = on;
        if ((w = Window()) != nullptr) {
            w->WriteJpeg = bit;
            c_.WriteQualityOn = on;
        }
        return;
    case Check::UseSound:
        used(group_text(L::kSoundGroup, L::kUseSound));
        c_.UseSound = on;
        if ((w = Window()) != nullptr) {
            w->UseSound = bit;
            c_.SoundChoiceOn = on;
            c_.SoundFileOn = on && w->UseSpeaker == 0;
        }
        return;
    case Check::QualitySound:
        used(group_text(L::kSoundGroup, L::kQualitySound));
        c_.QualitySound = on;
        if ((w = Window()) != nullptr) {
            w->QualitySound = bit;
        }
        return;
    case Check::UseOutput:
        used(group_text(L::kOutputGroup, L::kUseOutput));
        c_.UseOutput = on;
        if ((w = Window()) != nullptr) {
            w->UseOutput = bit;
            c_.OutputOn = on;
        }
        return;
    case Check::UseMinimize:
        used(Lang()[L::kUseMinimize]);
        c_.UseMinimize = on;
        if ((w = Window()) != nullptr) {
            w->UseMinimize = bit;
            c_.MinimizeOn = on;
        }
        return;
    case Check::AlarmMon:
        used(Lang()[L::kUseMonitors]);
        c_.AlarmMon = on;
        c_.AlarmMonNumberOn = on;
        if ((w = Window()) != nullptr) {
            w->AlarmMon = bit;
        }
        return;
    case Check::NetJpeg:
        used(group_text(L::kPictureGroup, L::kCompression));
        c_.NetJpeg = on;
        if ((w = Window()) != nullptr) {
            w->NetJpeg = bit;
            c_.NetQualityOn = on;
        }
        return;
    case Check::UseRemAlarm:
        used(Lang()[L::kRemAlarmGroup]);
        c_.UseRemAlarm = on;
        if ((w = Window()) != nullptr) {
            w->UseRemAlarm = bit;
        }
        return;
    }
}

std::int32_t* AdjFoundModel::picture_entry(Bar bar, int camera) const {
    if (!ValidCamera(camera)) {
        return nullptr;
    }
    std::int32_t* table = nullptr;
    switch (bar) {
    case Bar::Bright:
        table = ports_.Picture.Bright;
        break;
    case Bar::Contr:
        table = ports_.Picture.Contr;
        break;
    case Bar::Sat:
        table = ports_.Picture.Sat;
        break;
    case Bar::Hue:
        table = ports_.Picture.Hue;
        break;
    default:
        break;
    }
    return table != nullptr ? table + (camera - 1) : nullptr;
}

void AdjFoundModel::BarChange(Bar bar, int position) {
    // The picture bars neither count as a change nor log; the others count.
    const bool picture =
        bar == Bar::Bright || bar == Bar::Contr || bar == Bar::Sat || bar == Bar::Hue;
    if (!picture) {
        used();
    }
    ChanelWindow* w = Window();
    DetectionFields* d = w != nullptr ? &w->Detection : nullptr;
    switch (bar) {
    case Bar::PointStep:
        c_.PointStep = position;
        if (w != nullptr) {
            w->PointStep = position;
        }
        return;
    case Bar::Threshold:
        c_.Threshold = position;
        if (d != nullptr) {
            d->Threshold = position;
        }
        return;
    case Bar::SigmaFactor:
        c_.SigmaPos = position;
        if (d != nullptr) {
            d->SigmaFactor = position / 10.0;
        }
        return;
    case Bar::ObjectSize:
        c_.ObjectSize = position;
        if (d != nullptr) {
            d->ObjectSize = position;
        }
        return;
    case Bar::ObjectPoints:
        c_.ObjectPoints = position;
        if (d != nullptr) {
            d->ObjectPoints = position;
        }
        return;
    case Bar::FindFrames:
        c_.FindFrames = position;
        if (d != nullptr) {
            d->FindFrames = position;
        }
        return;
    case Bar::WriteInterval:
        c_.WriteInterval = position;
        if (w != nullptr) {
            w->WriteInterval = position;
        }
        return;
    case Bar::WriteQuality:
        c_.WriteQuality = position;
        if (w != nullptr) {
            w->WriteQuality = position;
        }
        return;
    case Bar::NetQuality:
        c_.NetQuality = position;
        if (w != nullptr) {
            w->NetQuality = position;
        }
        return;
    case Bar::Bright:
        c_.Bright = position;
        break;
    case Bar::Contr:
        c_.Contr = position;
        break;
    case Bar::Sat:
        c_.Sat = position;
        break;
    case Bar::Hue:
        c_.Hue = position;
        break;
    }
    if (w != nullptr) {
        if (std::int32_t* entry = picture_entry(bar, w->CamNumber)) {
            *entry = position;
        }
    }
}

void AdjFoundModel::SigmaModeClick(int mode) {
    used(Lang()[mode == 1 ? L::kSigmaUnits : L::kPercentOfSignal]);
    c_.SigmaMode = mode == 1 ? 1 : 0;
    if (ChanelWindow* w = Window()) {
        w->Detection.SigmaMode = static_cast<std::uint8_t>(c_.SigmaMode);
        c_.ThresholdOn = c_.SigmaMode == 0;
        c_.SigmaOn = c_.SigmaMode == 1;
    }
}

void AdjFoundModel::SpeakerClick(bool speaker) {
    used(speaker ? group_text(L::kSoundGroup, L::kSpeaker)
                 : Lang()[L::kSoundGroup] + ", " + L::kSoundCard);
    c_.UseSpeaker = speaker;
    if (ChanelWindow* w = Window()) {
        w->UseSpeaker = speaker ? 1 : 0;
        c_.SoundFileOn = !speaker;
    }
}

void AdjFoundModel::B1Click() {
    used(Lang()[L::kStandardGrid]);
    if (ChanelWindow* w = Window()) {
        StandardPointGrid(w->Detection);
    }
}

void AdjFoundModel::B2Click() {
    used(Lang()[L::kDeleteAll]);
    if (ChanelWindow* w = Window()) {
        w->Detection.PointCount = 0;
    }
}

void AdjFoundModel::AlarmMonNumberClick(int item, bool on) {
    used(Lang()[L::kUseMonitors]);
    if (item < 0 || item >= kMonitorCount) {
        return;
    }
    c_.AlarmMonNumber[static_cast<std::size_t>(item)] = on;
    if (ChanelWindow* w = Window()) {
        for (std::size_t m = 0; m < c_.AlarmMonNumber.size(); ++m) {
            w->AlarmMonNumber[m] = c_.AlarmMonNumber[m] ? 1 : 0;
        }
    }
}

bool AdjFoundModel::EditKeyPasses(char key) {
    if ((key >= '0' && key <= '9') || key == '\b') {
        return true;
    }
    beep();
    return false;
}

std::string AdjFoundModel::EditChange(Edit edit, const std::string& typed) {
    const EditRule& rule = RuleOf(edit);
    std::string& accepted = edit_text_[static_cast<std::size_t>(edit)];
    // Pasted text that is not a number: refused, the edit keeps its last text.
    if (!all_digits(typed) || typed.size() > static_cast<std::size_t>(rule.MaxLength)) {
        used();
        beep();
        return accepted;
    }
    std::string text = typed;
    // Each pass is one run of the change handler; setting the text runs it again.
    for (;;) {
        used();
        if (!text.empty()) {
            const int value = std::stoi(text);
            if (value > rule.Max) {
                beep();
                text.pop_back();
                continue;
            }
            if (rule.Min == 1 && value <= 0) {
                beep();
                text.pop_back();
                continue;
            }
            if (edit == Edit::MinimizeTime && value < rule.Min) {
                beep();
                text = rule.Empty;
                continue;
            }
        }
        if (text.empty()) {
            beep();
            text = rule.Empty;
            continue;
        }
        break;
    }
    accepted = text;
    const int value = std::stoi(text);
    ChanelWindow* w = Window();
    switch (edit) {
    case Edit::OutputPin:
        c_.OutputPinText = text;
        if (w != nullptr) {
            w->OutputPin = value;
        }
        break;
    case Edit::OutputState:
        c_.StateText = text;
        if (w != nullptr) {
            w->OutputState = value;
        }
        break;
    case Edit::AlarmOutputTime:
        c_.OutputTimeText = text;
        if (w != nullptr) {
            w->AlarmOutputTime = value;
        }
        break;
    case Edit::AlarmInputNumber:
        c_.InputNumberText = text;
        if (w != nullptr) {
            w->AlarmInputNumber = value;
        }
        break;
    case Edit::AlarmInputState:
        c_.InputStateText = text;
        if (w != nullptr) {
            w->AlarmInputState = value;
        }
        break;
    case Edit::MinimizeTime:
        c_.MinimizeTimeText = text;
        if (w != nullptr) {
            w->MinimizeTime = value;
        }
        break;
    }
    return text;
}

void AdjFoundModel::SoundFileEdited(const std::string& text) {
    c_.SoundFile = text;
}

void AdjFoundModel::Edit1Exit() {
    used();
    sound_file_taken_ = c_.SoundFile;
    if (ChanelWindow* w = Window()) {
        w->SoundFile = c_.SoundFile;
    }
}

// ---- Picture and source page ----

void AdjFoundModel::InitBright() {
    const ChanelWindow* w = Window();
    if (w == nullptr) {
        return;
    }
    auto value = [&](Bar bar) {
        const std::int32_t* entry = picture_entry(bar, w->CamNumber);
        return entry != nullptr ? std::clamp(*entry, 0, 255) : 0;
    };
    c_.Bright = value(Bar::Bright);
    c_.Contr = value(Bar::Contr);
    c_.Sat = value(Bar::Sat);
    c_.Hue = value(Bar::Hue);
}

void AdjFoundModel::DefaultBtnClick() {
    const ChanelWindow* w = Window();
    if (w == nullptr) {
        return;
    }
    if (std::int32_t* sat = picture_entry(Bar::Sat, w->CamNumber)) {
        *sat = kDefaultSaturation;
    }
    if (std::int32_t* hue = picture_entry(Bar::Hue, w->CamNumber)) {
        *hue = kDefaultHue;
    }
    InitBright();
}

void AdjFoundModel::rebuild_caption(ChanelWindow& w) {
    w.RemCaptionBase = Lang()[L::kInput] + " " + std::to_string(w.CamNumber);
    if (ChanelPainter* p = w.Painter()) {
        p->RefreshCaption();
        p->Repaint();
    }
}

void AdjFoundModel::CamSelect(int index) {
    used(Lang()[L::kCamSelect]);
    if (index < 0 || index >= kCameraItems) {
        return;
    }
    c_.CamIndex = index;
    if (ChanelWindow* w = Window()) {
        w->CamNumber = index + 1;
        rebuild_caption(*w);
        if (shown_) {
            InitBright();
        }
    }
}

void AdjFoundModel::RemSelect(int index) {
    used(Lang()[L::kRemSelect]);
    if (index < 0 || index > kRemoteStationCount) {
        return;
    }
    c_.RemIndex = index;
    if (ChanelWindow* w = Window()) {
        w->RemNumber = index;
        rebuild_caption(*w);
    }
}

std::string AdjFoundModel::ChSelect(const std::string& text) {
    used(Lang()[L::kChSelect]);
    ChanelWindow* w = Window();
    const bool number = !text.empty() && text.size() <= 2 && all_digits(text);
    const int board = number ? std::stoi(text) : 0;
    if (ValidChip(board) && ports_.ChipPresent[static_cast<std::size_t>(board - 1)]) {
        c_.ChText = std::to_string(board);
        if (w != nullptr) {
            w->ChNumber = board;
        }
    } else if (w != nullptr) {
        // Only a present board is taken: the window keeps its board, the text comes back.
        c_.ChText = std::to_string(w->ChNumber);
    }
    return c_.ChText;
}

} // namespace station
