#include "camera_windows_run.h"

#include "ui/live/chanel_form.h"
#include "station_program.h"

#include <charconv>

namespace station {
namespace {

// A camera window freed and waiting for its deletion.
constexpr const char* kFreedWindow = "tolm_freed";

} // namespace

std::vector<TFormChanel*> CameraWindowsOf(const QWidget& owner) {
    std::vector<TFormChanel*> out;
    for (QWidget* w : owner.findChildren<QWidget*>()) {
        auto* form = dynamic_cast<TFormChanel*>(w);
        if (form != nullptr && !form->property(kFreedWindow).toBool()) {
            out.push_back(form);
        }
    }
    return out;
}

void FreeCameraWindows(QWidget& owner, ChanelSlots& slots) {
    for (TFormChanel* w : CameraWindowsOf(owner)) {
        const int slot = w->Window().ChanelNumber;
        if (ValidSlot(slot) && slots.ChanelForms[static_cast<std::size_t>(slot)] == &w->Window()) {
            slots.Release(slot);
        }
        w->hide();
        w->setProperty(kFreedWindow, true);
        w->deleteLater();
    }
}

TFormChanel* OpenCameraWindow(StationProgram& program, int chip, int camera) {
    if (!ValidChip(chip) || !ValidCamera(camera)) {
        return nullptr;
    }
    // Through the item's handler: a locked station's disabled item would ignore its trigger.
    const int slot = program.Live().Slots.FreeSlot();
    if (slot == 0 || !program.Form().Click("AddChanel")) {
        return nullptr;
    }
    ChanelWindow* w = program.Live().Slots.Used(slot);
    if (w == nullptr) {
        return nullptr;
    }
    w->ChNumber = chip;
    w->CamNumber = camera;
    for (TFormChanel* form : CameraWindowsOf(program.Form())) {
        if (&form->Window() == w) {
            form->RefreshCaption();
            return form;
        }
    }
    return nullptr;
}

std::vector<std::pair<int, int>> ParseCameraList(std::string_view text) {
    std::vector<std::pair<int, int>> out;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view entry = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t colon = entry.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        int chip = 0;
        int camera = 0;
        const char* end = entry.data() + entry.size();
        const auto a = std::from_chars(entry.data(), entry.data() + colon, chip);
        const auto b = std::from_chars(entry.data() + colon + 1, end, camera);
        if (a.ec == std::errc() && a.ptr == entry.data() + colon && b.ec == std::errc() &&
            b.ptr == end && ValidChip(chip) && ValidCamera(camera)) {
            out.emplace_back(chip, camera);
        }
    }
    return out;
}

} // namespace station
