// The live engine's 32 camera-window slots as board control and the alarm sound see them: a
// used slot answers its window's relay-output and alarm-sound fields.
#pragma once

#include "alarm/camera_alarm_fields.h"
#include "live/chanel_slots.h"
#include "base/limits.h"

namespace station {

static_assert(kSlotCount == kSlotCount);

class ChanelCameraSlots : public CameraSlots {
public:
    // No slots until Attach: every slot answers null.
    ChanelCameraSlots() = default;
    explicit ChanelCameraSlots(const ChanelSlots& slots) : slots_(&slots) {}

    void Attach(const ChanelSlots& slots) { slots_ = &slots; }

    // The window of slot 1..32 when the slot is used, else null.
    CameraAlarmFields* Window(int slot) override;

private:
    const ChanelSlots* slots_ = nullptr;
};

} // namespace station
