#include "adj_found_form.h"

#include "camera/adj_found_lines.h"
#include "ui/common/qt_text.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace station {

namespace L = adj_found_lines;

namespace {

constexpr int kTimerMs = 100;
constexpr int kBarWidth = 180;
constexpr std::array<const char*, 6> kEditNames{"OutputPinEd",       "StateEd",
                                                "AlarmOutputTimeEd", "AlarmInputNumberEd",
                                                "AlarmInputStateEd", "MinimizeTimeEd"};

int bar_value(AdjFoundModel::Bar b, const AdjFoundControls& c) {
    using Bar = AdjFoundModel::Bar;
    switch (b) {
    case Bar::PointStep:
        return c.PointStep;
    case Bar::Threshold:
        return c.Threshold;
    case Bar::SigmaFactor:
        return c.SigmaPos;
    case Bar::ObjectSize:
        return c.ObjectSize;
    case Bar::ObjectPoints:
        return c.ObjectPoints;
    case Bar::FindFrames:
        return c.FindFrames;
    case Bar::WriteInterval:
        return c.WriteInterval;
    case Bar::WriteQuality:
        return c.WriteQuality;
    case Bar::NetQuality:
        return c.NetQuality;
    case Bar::Bright:
        return c.Bright;
    case Bar::Contr:
        return c.Contr;
    case Bar::Sat:
        return c.Sat;
    case Bar::Hue:
        return c.Hue;
    }
    return 0;
}

bool check_value(AdjFoundModel::Check k, const AdjFoundControls& c) {
    using Check = AdjFoundModel::Check;
    switch (k) {
    case Check::ShowPoints:
        return c.ShowPoints;
    case Check::ShowZone:
        return c.ShowZone;
    case Check::ShowObject:
        return c.ShowObject;
    case Check::LiveVideo:
        return c.LiveVideo;
    case Check::UseInput:
        return c.UseInput;
    case Check::WriteOnAlarm:
        return c.WriteOnAlarm;
    case Check::WriteJpeg:
        return c.WriteJpeg;
    case Check::UseSound:
        return c.UseSound;
    case Check::QualitySound:
        return c.QualitySound;
    case Check::UseOutput:
        return c.UseOutput;
    case Check::UseMinimize:
        return c.UseMinimize;
    case Check::AlarmMon:
        return c.AlarmMon;
    case Check::NetJpeg:
        return c.NetJpeg;
    case Check::UseRemAlarm:
        return c.UseRemAlarm;
    }
    return false;
}

const std::string& edit_text(AdjFoundModel::Edit e, const AdjFoundControls& c) {
    using Edit = AdjFoundModel::Edit;
    switch (e) {
    case Edit::OutputPin:
        return c.OutputPinText;
    case Edit::OutputState:
        return c.StateText;
    case Edit::AlarmOutputTime:
        return c.OutputTimeText;
    case Edit::AlarmInputNumber:
        return c.InputNumberText;
    case Edit::AlarmInputState:
        return c.InputStateText;
    case Edit::MinimizeTime:
        return c.MinimizeTimeText;
    }
    return c.OutputPinText;
}

QGroupBox* group(const char* name, QWidget* parent) {
    auto* g = new QGroupBox(parent);
    g->setObjectName(name);
    return g;
}

} // namespace

TFormAdjFound::TFormAdjFound(AdjFoundModel::Ports ports, std::int32_t slot, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      model_(std::make_unique<AdjFoundModel>(std::move(ports), slot)) {
    setObjectName("FormAdjFound");
    auto* column = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PageControl1");
    pages_->addTab(detection_page(), QString());
    pages_->addTab(alarm_page(), QString());
    pages_->addTab(network_page(), QString());
    pages_->addTab(picture_page(), QString());
    column->addWidget(pages_);
    connect(pages_, &QTabWidget::currentChanged, this,
            [this](int page) { model_->PageChanged(page); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_btn_ = new QPushButton("OK", this);
    ok_btn_->setObjectName("OKBtn");
    ok_btn_->setDefault(true);
    cancel_btn_ = new QPushButton("Cancel", this);
    cancel_btn_->setObjectName("CancelBtn");
    buttons->addWidget(ok_btn_);
    buttons->addWidget(cancel_btn_);
    column->addLayout(buttons);
    connect(ok_btn_, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(cancel_btn_, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    column->setSizeConstraint(QLayout::SetFixedSize);

    timer1_.setInterval(kTimerMs);
    connect(&timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

TFormAdjFound::~TFormAdjFound() {
    RunDestroyActions();
}

// ---- Building ----

QLabel* TFormAdjFound::label(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    return l;
}

QCheckBox* TFormAdjFound::check(Check c, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(parent);
    box->setObjectName(name);
    checks_[c] = box;
    connect(box, &QCheckBox::clicked, this, [this, c](bool on) {
        model_->CheckClick(c, on);
        render();
    });
    return box;
}

QScrollBar* TFormAdjFound::bar(Bar b, const char* name, int min, int max, QWidget* parent) {
    auto* sb = new QScrollBar(Qt::Horizontal, parent);
    sb->setObjectName(name);
    sb->setRange(min, max);
    sb->setMinimumWidth(kBarWidth);
    bars_[b] = sb;
    connect(sb, &QScrollBar::valueChanged, this, [this, b](int position) {
        model_->BarChange(b, position);
        render();
    });
    return sb;
}

QLineEdit* TFormAdjFound::number_edit(Edit e, const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(AdjFoundModel::RuleOf(e).MaxLength);
    edit->setFixedWidth(AdjFoundModel::RuleOf(e).MaxLength * 12 + 12);
    edit->installEventFilter(this);
    edits_[static_cast<std::size_t>(e)] = edit;
    connect(edit, &QLineEdit::textEdited, this, [this, e, edit](const QString& text) {
        const std::string shown = model_->EditChange(e, text.toStdString());
        if (QString::fromStdString(shown) != text) {
            const QSignalBlocker blocker(edit);
            edit->setText(QString::fromStdString(shown));
            edit->setCursorPosition(static_cast<int>(shown.size()));
        }
        render();
    });
    return edit;
}

QWidget* TFormAdjFound::detection_page() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    auto* grid = new QGridLayout(page);

    points_gb_ = group("GroupBox6", page);
    auto* pg = new QGridLayout(points_gb_);
    b1_ = new QPushButton(points_gb_);
    b1_->setObjectName("B1");
    b1_->setFixedWidth(28);
    label2_ = label("Label2", points_gb_);
    b2_ = new QPushButton(points_gb_);
    b2_->setObjectName("B2");
    b2_->setFixedWidth(28);
    label3_ = label("Label3", points_gb_);
    label5_ = label("Label5", points_gb_);
    label10_ = label("Label10", points_gb_);
    label11_ = label("Label11", points_gb_);
    pg->addWidget(b1_, 0, 0);
    pg->addWidget(label2_, 0, 1, 1, 2);
    pg->addWidget(b2_, 1, 0);
    pg->addWidget(label3_, 1, 1, 1, 2);
    pg->addWidget(label5_, 2, 0, 1, 3);
    pg->addWidget(bar(Bar::PointStep, "SB6", 1, 1000, points_gb_), 3, 0, 1, 2);
    bar_labels_[Bar::PointStep] = label("Label7", points_gb_);
    pg->addWidget(bar_labels_[Bar::PointStep], 3, 2);
    pg->addWidget(label10_, 4, 0, 1, 2);
    pg->addWidget(label11_, 4, 2);
    connect(b1_, &QPushButton::clicked, this, [this] {
        model_->B1Click();
        render();
    });
    connect(b2_, &QPushButton::clicked, this, [this] {
        model_->B2Click();
        render();
    });
    grid->addWidget(points_gb_, 0, 0);

    threshold_gb_ = group("GroupBox2", page);
    auto* tg = new QGridLayout(threshold_gb_);
    radio3_ = new QRadioButton(threshold_gb_);
    radio3_->setObjectName("RadioButton3");
    radio4_ = new QRadioButton(threshold_gb_);
    radio4_->setObjectName("RadioButton4");
    tg->addWidget(radio3_, 0, 0, 1, 2);
    tg->addWidget(bar(Bar::Threshold, "SB1", 0, 255, threshold_gb_), 1, 0);
    bar_labels_[Bar::Threshold] = label("Label1", threshold_gb_);
    tg->addWidget(bar_labels_[Bar::Threshold], 1, 1);
    tg->addWidget(radio4_, 2, 0, 1, 2);
    tg->addWidget(bar(Bar::SigmaFactor, "SB5", 0, 1000, threshold_gb_), 3, 0);
    bar_labels_[Bar::SigmaFactor] = label("Label4", threshold_gb_);
    tg->addWidget(bar_labels_[Bar::SigmaFactor], 3, 1);
    connect(radio3_, &QRadioButton::clicked, this, [this] {
        model_->SigmaModeClick(0);
        render();
    });
    connect(radio4_, &QRadioButton::clicked, this, [this] {
        model_->SigmaModeClick(1);
        render();
    });
    grid->addWidget(threshold_gb_, 0, 1);

    auto bar_group = [&](QGroupBox*& gb, const char* name, Bar b, const char* barName, int min,
                         int max, const char* labelName) {
        gb = group(name, page);
        auto* row = new QHBoxLayout(gb);
        row->addWidget(bar(b, barName, min, max, gb));
        bar_labels_[b] = label(labelName, gb);
        bar_labels_[b]->setMinimumWidth(40);
        row->addWidget(bar_labels_[b]);
        return gb;
    };
    grid->addWidget(
        bar_group(object_size_gb_, "GroupBox4", Bar::ObjectSize, "SB4", 1, 1000, "Label16"), 1, 0);
    grid->addWidget(
        bar_group(object_points_gb_, "GroupBox3", Bar::ObjectPoints, "SB2", 1, 1000, "Label13"), 1,
        1);
    grid->addWidget(bar_group(frames_gb_, "GroupBox8", Bar::FindFrames, "SB7", 1, 100, "Label15"),
                    2, 0);

    show_gb_ = group("GroupBox7", page);
    auto* sg = new QVBoxLayout(show_gb_);
    sg->addWidget(check(Check::ShowPoints, "CheckBox4", show_gb_));
    sg->addWidget(check(Check::ShowZone, "CheckBox5", show_gb_));
    sg->addWidget(check(Check::ShowObject, "CheckBox6", show_gb_));
    grid->addWidget(show_gb_, 2, 1, 2, 1);

    input_gb_ = group("InputGB", page);
    auto* ig = new QGridLayout(input_gb_);
    ig->addWidget(check(Check::UseInput, "UseInputCB", input_gb_), 0, 0);
    ig->addWidget(number_edit(Edit::AlarmInputNumber, "AlarmInputNumberEd", input_gb_), 0, 1);
    level_label_ = label("LevelLabel", input_gb_);
    ig->addWidget(level_label_, 1, 0);
    ig->addWidget(number_edit(Edit::AlarmInputState, "AlarmInputStateEd", input_gb_), 1, 1);
    grid->addWidget(input_gb_, 3, 0);

    // The live-video group is part of the form but not shown.
    live_gb_ = group("GroupBox10", page);
    auto* lg = new QVBoxLayout(live_gb_);
    lg->addWidget(check(Check::LiveVideo, "CheckBox9", live_gb_));
    live_gb_->hide();
    return page;
}

QWidget* TFormAdjFound::alarm_page() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    auto* grid = new QGridLayout(page);

    record_gb_ = group("GroupBox5", page);
    auto* rg = new QGridLayout(record_gb_);
    rg->addWidget(check(Check::WriteOnAlarm, "CheckBox3", record_gb_), 0, 0, 1, 3);
    label9_ = label("Label9", record_gb_);
    rg->addWidget(label9_, 1, 0);
    rg->addWidget(bar(Bar::WriteInterval, "SB3", 0, 60000, record_gb_), 1, 1);
    bar_labels_[Bar::WriteInterval] = label("Label12", record_gb_);
    bar_labels_[Bar::WriteInterval]->setMinimumWidth(40);
    rg->addWidget(bar_labels_[Bar::WriteInterval], 1, 2);
    rg->addWidget(check(Check::WriteJpeg, "CheckBox8", record_gb_), 2, 0, 1, 3);
    label17_ = label("Label17", record_gb_);
    rg->addWidget(label17_, 3, 0);
    rg->addWidget(bar(Bar::WriteQuality, "SB8", 1, 100, record_gb_), 3, 1);
    bar_labels_[Bar::WriteQuality] = label("Label18", record_gb_);
    rg->addWidget(bar_labels_[Bar::WriteQuality], 3, 2);
    grid->addWidget(record_gb_, 0, 0);

    sound_gb_ = group("GroupBox1", page);
    auto* sg = new QGridLayout(sound_gb_);
    sg->addWidget(check(Check::UseSound, "CheckBox1", sound_gb_), 0, 0, 1, 2);
    radio1_ = new QRadioButton(sound_gb_);
    radio1_->setObjectName("RadioButton1");
    radio2_ = new QRadioButton(QString::fromLatin1(L::kSoundCard), sound_gb_);
    radio2_->setObjectName("RadioButton2");
    sg->addWidget(radio1_, 1, 0);
    sg->addWidget(radio2_, 1, 1);
    label6_ = label("Label6", sound_gb_);
    sg->addWidget(label6_, 2, 0);
    edit1_ = new QLineEdit(sound_gb_);
    edit1_->setObjectName("Edit1");
    edit1_->installEventFilter(this);
    sg->addWidget(edit1_, 2, 1);
    sg->addWidget(check(Check::QualitySound, "CheckBox2", sound_gb_), 3, 0, 1, 2);
    connect(radio1_, &QRadioButton::clicked, this, [this] {
        model_->SpeakerClick(true);
        render();
    });
    connect(radio2_, &QRadioButton::clicked, this, [this] {
        model_->SpeakerClick(false);
        render();
    });
    connect(edit1_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_->SoundFileEdited(StationText(text)); });
    // Enter and the loss of focus both take the name.
    connect(edit1_, &QLineEdit::editingFinished, this, [this] { model_->Edit1Exit(); });
    grid->addWidget(sound_gb_, 0, 1);

    output_gb_ = group("GroupBox12", page);
    auto* og = new QGridLayout(output_gb_);
    og->addWidget(check(Check::UseOutput, "UseOutputCB", output_gb_), 0, 0);
    og->addWidget(number_edit(Edit::OutputPin, "OutputPinEd", output_gb_), 0, 1);
    label19_ = label("Label19", output_gb_);
    og->addWidget(label19_, 0, 2);
    og->addWidget(number_edit(Edit::OutputState, "StateEd", output_gb_), 0, 3);
    label20_ = label("Label20", output_gb_);
    label23_ = label("Label23", output_gb_);
    label24_ = label("Label24", output_gb_);
    og->addWidget(label20_, 1, 0);
    og->addWidget(label23_, 1, 1);
    og->addWidget(number_edit(Edit::AlarmOutputTime, "AlarmOutputTimeEd", output_gb_), 1, 2);
    og->addWidget(label24_, 1, 3);
    grid->addWidget(output_gb_, 1, 0);

    minimize_gb_ = group("MinimizeGB", page);
    auto* mg = new QGridLayout(minimize_gb_);
    mg->addWidget(check(Check::UseMinimize, "UseMinimizeCB", minimize_gb_), 0, 0, 1, 3);
    min_label_ = label("MinLabel", minimize_gb_);
    min_label1_ = label("MinLabel1", minimize_gb_);
    min_label2_ = label("MinLabel2", minimize_gb_);
    mg->addWidget(min_label_, 1, 0);
    mg->addWidget(number_edit(Edit::MinimizeTime, "MinimizeTimeEd", minimize_gb_), 1, 1);
    mg->addWidget(min_label1_, 1, 2);
    mg->addWidget(min_label2_, 2, 0, 1, 3);
    grid->addWidget(minimize_gb_, 1, 1);

    monitor_gb_ = group("AlarmMomGB", page);
    auto* ag = new QHBoxLayout(monitor_gb_);
    ag->addWidget(check(Check::AlarmMon, "AlarmMonCB", monitor_gb_));
    alarm_mon_number_cb_ = new QListWidget(monitor_gb_);
    alarm_mon_number_cb_->setObjectName("AlarmMonNumberCB");
    alarm_mon_number_cb_->setFlow(QListView::LeftToRight);
    alarm_mon_number_cb_->setFixedHeight(28);
    for (int m = 1; m <= kMonitorCount; ++m) {
        auto* item = new QListWidgetItem(QString::number(m), alarm_mon_number_cb_);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Unchecked);
    }
    connect(alarm_mon_number_cb_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        model_->AlarmMonNumberClick(alarm_mon_number_cb_->row(item),
                                    item->checkState() == Qt::Checked);
        render();
    });
    ag->addWidget(alarm_mon_number_cb_, 1);
    grid->addWidget(monitor_gb_, 2, 0, 1, 2);
    return page;
}

QWidget* TFormAdjFound::network_page() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet3");
    auto* column = new QVBoxLayout(page);
    picture_gb_ = group("GroupBox11", page);
    auto* pg = new QGridLayout(picture_gb_);
    pg->addWidget(check(Check::NetJpeg, "CheckBox11", picture_gb_), 0, 0, 1, 3);
    label21_ = label("Label21", picture_gb_);
    pg->addWidget(label21_, 1, 0);
    pg->addWidget(bar(Bar::NetQuality, "ScrollBar2", 1, 100, picture_gb_), 1, 1);
    bar_labels_[Bar::NetQuality] = label("Label22", picture_gb_);
    pg->addWidget(bar_labels_[Bar::NetQuality], 1, 2);
    column->addWidget(picture_gb_);
    rem_alarm_gb_ = group("UseRemAlarmGB", page);
    auto* rg = new QVBoxLayout(rem_alarm_gb_);
    rg->addWidget(check(Check::UseRemAlarm, "UseRemAlarmCB", rem_alarm_gb_));
    column->addWidget(rem_alarm_gb_);
    column->addStretch();
    return page;
}

QWidget* TFormAdjFound::picture_page() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet4");
    auto* grid = new QGridLayout(page);
    struct PictureBar {
        Bar b;
        const char* name;
        const char* barName;
        const char* valueName;
        bool shown;
    };
    const PictureBar bars[] = {{Bar::Bright, "BrightL", "BrightSB", "BrightLN", false},
                               {Bar::Contr, "ContrL", "ContrSB", "ContrLN", false},
                               {Bar::Sat, "SatL", "SatSB", "SatLN", true},
                               {Bar::Hue, "HueL", "HueSB", "HueLN", true}};
    int row = 0;
    for (const PictureBar& p : bars) {
        QLabel* name = label(p.name, page);
        QScrollBar* sb = bar(p.b, p.barName, 0, 255, page);
        QLabel* value = label(p.valueName, page);
        value->setMinimumWidth(30);
        picture_names_[p.b] = name;
        bar_labels_[p.b] = value;
        if (!p.shown) {
            name->hide();
            sb->hide();
            value->hide();
            continue;
        }
        grid->addWidget(name, row, 0);
        grid->addWidget(sb, row, 1);
        grid->addWidget(value, row, 2);
        ++row;
    }
    default_btn_ = new QPushButton(page);
    default_btn_->setObjectName("DefaultBtn");
    connect(default_btn_, &QPushButton::clicked, this, [this] {
        model_->DefaultBtnClick();
        render();
    });
    grid->addWidget(default_btn_, row++, 1, Qt::AlignLeft);

    cam_select_l_ = label("CamSelectL", page);
    cam_select_cb_ = new QComboBox(page);
    cam_select_cb_->setObjectName("CamSelectCB");
    rem_select_l_ = label("RemSelectL", page);
    rem_select_cb_ = new QComboBox(page);
    rem_select_cb_->setObjectName("RemSelectCB");
    ch_select_l_ = label("ChSelectL", page);
    ch_select_cb_ = new QComboBox(page);
    ch_select_cb_->setObjectName("ChSelectCB");
    ch_select_cb_->setEditable(true);
    ch_select_cb_->setInsertPolicy(QComboBox::NoInsert);
    grid->addWidget(cam_select_l_, row, 0);
    grid->addWidget(cam_select_cb_, row++, 1);
    grid->addWidget(rem_select_l_, row, 0);
    grid->addWidget(rem_select_cb_, row++, 1);
    grid->addWidget(ch_select_l_, row, 0);
    grid->addWidget(ch_select_cb_, row++, 1);
    grid->setRowStretch(row, 1);
    connect(cam_select_cb_, &QComboBox::activated, this, [this](int index) {
        model_->CamSelect(index);
        render();
    });
    connect(rem_select_cb_, &QComboBox::activated, this, [this](int index) {
        model_->RemSelect(index);
        render();
    });
    auto take_board = [this] {
        model_->ChSelect(ch_select_cb_->currentText().toStdString());
        render();
    };
    connect(ch_select_cb_, &QComboBox::activated, this, take_board);
    connect(ch_select_cb_->lineEdit(), &QLineEdit::editingFinished, this, take_board);
    return page;
}

// ---- Showing and rendering ----

void TFormAdjFound::set_texts() {
    const LanguageList& lang = model_->Lang();
    auto t = [&](int line) { return LangText(lang, line); };
    setWindowTitle(QtText(model_->Caption()));
    pages_->setTabText(0, t(L::kPageDetection));
    pages_->setTabText(1, t(L::kPageAlarm));
    pages_->setTabText(2, t(L::kPageNetwork));
    pages_->setTabText(3, t(L::kPagePicture));
    default_btn_->setText(t(L::kDefaults));
    picture_names_[Bar::Bright]->setText(t(L::kBright));
    picture_names_[Bar::Contr]->setText(t(L::kContr));
    picture_names_[Bar::Sat]->setText(t(L::kSat));
    picture_names_[Bar::Hue]->setText(t(L::kHue));
    cam_select_l_->setText(t(L::kCamSelect));
    rem_select_l_->setText(t(L::kRemSelect));
    ch_select_l_->setText(t(L::kChSelect));

    points_gb_->setTitle(t(L::kPointsGroup));
    label2_->setText(t(L::kStandardGrid));
    label3_->setText(t(L::kDeleteAll));
    label5_->setText(t(L::kPointStep));
    label10_->setText(t(L::kTotalPoints));
    threshold_gb_->setTitle(t(L::kThresholdGroup));
    radio3_->setText(t(L::kPercentOfSignal));
    radio4_->setText(t(L::kSigmaUnits));
    object_size_gb_->setTitle(t(L::kObjectSize));
    show_gb_->setTitle(t(L::kShowGroup));
    checks_[Check::ShowPoints]->setText(t(L::kShowPoints));
    checks_[Check::ShowZone]->setText(t(L::kShowZone));
    checks_[Check::ShowObject]->setText(t(L::kShowObject));
    frames_gb_->setTitle(t(L::kFindFrames));
    live_gb_->setTitle(t(L::kLiveVideo));
    checks_[Check::LiveVideo]->setText(t(L::kUse));
    object_points_gb_->setTitle(t(L::kObjectPoints));
    input_gb_->setTitle(t(L::kInputGroup));
    checks_[Check::UseInput]->setText(t(L::kUseInput));
    level_label_->setText(t(L::kActiveLevel));

    record_gb_->setTitle(t(L::kRecordGroup));
    checks_[Check::WriteOnAlarm]->setText(t(L::kUse));
    label9_->setText(t(L::kInterval));
    checks_[Check::WriteJpeg]->setText(t(L::kCompression));
    label17_->setText(t(L::kQuality));
    sound_gb_->setTitle(t(L::kSoundGroup));
    checks_[Check::UseSound]->setText(t(L::kUseSound));
    radio1_->setText(t(L::kSpeaker));
    label6_->setText(t(L::kSoundFile));
    checks_[Check::QualitySound]->setText(t(L::kQualitySound));
    output_gb_->setTitle(t(L::kOutputGroup));
    checks_[Check::UseOutput]->setText(t(L::kUseOutput));
    label19_->setText(t(L::kOutputState));
    label20_->setText(t(L::kOutputFor));
    label23_->setText(t(L::kAtLeast));
    label24_->setText(t(L::kSeconds));
    minimize_gb_->setTitle(t(L::kMinimizeGroup));
    checks_[Check::UseMinimize]->setText(t(L::kUseMinimize));
    min_label_->setText(t(L::kMinimizeAfter));
    min_label1_->setText(t(L::kSeconds));
    min_label2_->setText(t(L::kWithoutAlarm));
    monitor_gb_->setTitle(t(L::kMonitorGroup));
    checks_[Check::AlarmMon]->setText(t(L::kUseMonitors));

    picture_gb_->setTitle(t(L::kPictureGroup));
    checks_[Check::NetJpeg]->setText(t(L::kCompression));
    label21_->setText(t(L::kQuality));
    rem_alarm_gb_->setTitle(t(L::kRemAlarmGroup));
    checks_[Check::UseRemAlarm]->setText(t(L::kUse));

    const QSignalBlocker cams(cam_select_cb_);
    cam_select_cb_->clear();
    for (const std::string& item : model_->CamItems()) {
        cam_select_cb_->addItem(QtText(item));
    }
    const QSignalBlocker rems(rem_select_cb_);
    rem_select_cb_->clear();
    for (const std::string& item : model_->RemItems()) {
        rem_select_cb_->addItem(QtText(item));
    }
}

void TFormAdjFound::render() {
    const AdjFoundControls& c = model_->Controls();
    for (auto& [b, sb] : bars_) {
        const QSignalBlocker blocker(sb);
        sb->setValue(bar_value(b, c));
    }
    for (auto& [b, l] : bar_labels_) {
        switch (b) {
        case Bar::Threshold:
            l->setText(QtText(model_->ThresholdText()));
            break;
        case Bar::SigmaFactor:
            l->setText(QtText(model_->SigmaText()));
            break;
        case Bar::ObjectSize:
            l->setText(QtText(model_->ObjectSizeText()));
            break;
        default:
            l->setText(QString::number(bar_value(b, c)));
            break;
        }
    }
    for (auto& [k, box] : checks_) {
        const QSignalBlocker blocker(box);
        box->setChecked(check_value(k, c));
    }
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        const QString text = QtText(edit_text(static_cast<Edit>(i), c));
        if (edits_[i]->text() != text) {
            const QSignalBlocker blocker(edits_[i]);
            edits_[i]->setText(text);
        }
    }
    {
        const QSignalBlocker b3(radio3_), b4(radio4_), b1(radio1_), b2(radio2_);
        radio3_->setChecked(c.SigmaMode == 0);
        radio4_->setChecked(c.SigmaMode == 1);
        radio1_->setChecked(c.UseSpeaker);
        radio2_->setChecked(!c.UseSpeaker);
    }
    if (edit1_->text() != QtText(c.SoundFile)) {
        const QSignalBlocker blocker(edit1_);
        edit1_->setText(QtText(c.SoundFile));
    }
    {
        const QSignalBlocker blocker(alarm_mon_number_cb_);
        for (int m = 0; m < kMonitorCount; ++m) {
            alarm_mon_number_cb_->item(m)->setCheckState(
                c.AlarmMonNumber[static_cast<std::size_t>(m)] ? Qt::Checked : Qt::Unchecked);
        }
    }
    {
        const QSignalBlocker bc(cam_select_cb_), br(rem_select_cb_), bh(ch_select_cb_);
        cam_select_cb_->setCurrentIndex(c.CamIndex);
        rem_select_cb_->setCurrentIndex(c.RemIndex);
        QStringList items;
        for (const std::string& item : c.ChItems) {
            items << QtText(item);
        }
        QStringList now;
        for (int i = 0; i < ch_select_cb_->count(); ++i) {
            now << ch_select_cb_->itemText(i);
        }
        if (now != items) {
            ch_select_cb_->clear();
            ch_select_cb_->addItems(items);
        }
        ch_select_cb_->setEditText(QtText(c.ChText));
    }
    label11_->setText(QtText(c.PointCountText));

    // Enabling.
    bars_[Bar::Threshold]->setEnabled(c.ThresholdOn);
    bar_labels_[Bar::Threshold]->setEnabled(c.ThresholdOn);
    bars_[Bar::SigmaFactor]->setEnabled(c.SigmaOn);
    bar_labels_[Bar::SigmaFactor]->setEnabled(c.SigmaOn);
    for (QWidget* w :
         {static_cast<QWidget*>(label17_), static_cast<QWidget*>(bars_[Bar::WriteQuality]),
          static_cast<QWidget*>(bar_labels_[Bar::WriteQuality])}) {
        w->setEnabled(c.WriteQualityOn);
    }
    radio1_->setEnabled(c.SoundChoiceOn);
    radio2_->setEnabled(c.SoundChoiceOn);
    for (QWidget* w : {static_cast<QWidget*>(label6_), static_cast<QWidget*>(edit1_),
                       static_cast<QWidget*>(checks_[Check::QualitySound])}) {
        w->setEnabled(c.SoundFileOn);
    }
    for (QWidget* w : {static_cast<QWidget*>(edits_[0]), static_cast<QWidget*>(edits_[1]),
                       static_cast<QWidget*>(edits_[2]), static_cast<QWidget*>(label19_),
                       static_cast<QWidget*>(label20_), static_cast<QWidget*>(label23_),
                       static_cast<QWidget*>(label24_)}) {
        w->setEnabled(c.OutputOn);
    }
    for (QWidget* w : {static_cast<QWidget*>(min_label_), static_cast<QWidget*>(min_label1_),
                       static_cast<QWidget*>(min_label2_), static_cast<QWidget*>(edits_[5])}) {
        w->setEnabled(c.MinimizeOn);
    }
    alarm_mon_number_cb_->setEnabled(c.AlarmMonNumberOn);
    for (QWidget* w :
         {static_cast<QWidget*>(label21_), static_cast<QWidget*>(bars_[Bar::NetQuality]),
          static_cast<QWidget*>(bar_labels_[Bar::NetQuality])}) {
        w->setEnabled(c.NetQualityOn);
    }
    for (QWidget* w : {static_cast<QWidget*>(edits_[3]), static_cast<QWidget*>(edits_[4]),
                       static_cast<QWidget*>(level_label_)}) {
        w->setEnabled(c.InputOn);
    }
    cam_select_cb_->setEnabled(c.CamSelectOn);
    cam_select_l_->setEnabled(c.CamSelectOn);
    rem_select_cb_->setEnabled(c.RemSelectOn);
    rem_select_l_->setEnabled(c.RemSelectOn);
    ch_select_cb_->setEnabled(c.ChSelectOn);
    ch_select_l_->setEnabled(c.ChSelectOn);
}

void TFormAdjFound::showEvent(QShowEvent* e) {
    if (!e->spontaneous()) {
        set_texts();
        model_->FormShow();
        render();
        model_->PageChanged(pages_->currentIndex());
        timer1_.start();
        if (QScreen* screen = this->screen()) {
            move(screen->geometry().center() - rect().center());
        }
    }
    QDialog::showEvent(e);
}

// ---- OK, Cancel, closing ----

void TFormAdjFound::Timer1Timer() {
    model_->Timer1Timer();
    label11_->setText(QtText(model_->Controls().PointCountText));
}

void TFormAdjFound::OKBtnClick() {
    model_->OKBtnClick();
    timer1_.stop();
    close();
}

void TFormAdjFound::CancelBtnClick() {
    model_->CancelBtnClick();
    timer1_.stop();
    close();
}

void TFormAdjFound::closeEvent(QCloseEvent* e) {
    e->accept();
}

void TFormAdjFound::reject() {
    CancelBtnClick();
}

void TFormAdjFound::FormDestroy() {
    timer1_.stop();
    model_->FormDestroy();
}

bool TFormAdjFound::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit1_) {
        // Edit1Enter colours the edit yellow; leaving gives back the window colour.
        if (event->type() == QEvent::FocusIn) {
            QPalette p = edit1_->palette();
            p.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0x00));
            edit1_->setPalette(p);
        } else if (event->type() == QEvent::FocusOut) {
            edit1_->setPalette(QPalette());
        }
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress &&
        std::find(edits_.begin(), edits_.end(), watched) != edits_.end()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts (paste among them) pass; the change handler checks what they bring.
        if ((key->modifiers() & Qt::ControlModifier) != 0 || key->text().isEmpty()) {
            return false;
        }
        // Keys that type no character (Delete, the arrows) are not filtered.
        const char16_t ch = key->text().at(0).unicode();
        if (ch != u'\b' && (ch < 0x20 || ch == 0x7F)) {
            return false;
        }
        const char typed = ch < 0x80 ? static_cast<char>(ch) : '?';
        return !AdjFoundModel::EditKeyPasses(typed);
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace station
