#include "camera_slots_adapter.h"

namespace station {

CameraAlarmFields* ChanelCameraSlots::Window(int slot) {
    return slots_ != nullptr ? slots_->Used(slot) : nullptr;
}

} // namespace station
