#include "chanel_slots.h"

namespace station {

int ChanelSlots::FreeSlot() const {
    for (int i = 1; i <= kSlotCount; ++i) {
        const auto s = static_cast<std::size_t>(i);
        if (!ChanelPresent[s] && ChanelForms[s] == nullptr) {
            return i;
        }
    }
    return 0;
}

void ChanelSlots::Release(int slot) {
    if (!ValidSlot(slot)) {
        return;
    }
    ChanelPresent[static_cast<std::size_t>(slot)] = false;
    ChanelForms[static_cast<std::size_t>(slot)] = nullptr;
}

int AddChanel(ChanelSlots& slots, const std::function<ChanelWindow*(int slot)>& create) {
    const int i = slots.FreeSlot();
    if (i == 0) {
        return 0;
    }
    slots.NewChanelNumber = i;
    ChanelWindow* w = create(i);
    if (w == nullptr) {
        return 0;
    }
    slots.ChanelForms[static_cast<std::size_t>(i)] = w;
    slots.ChanelPresent[static_cast<std::size_t>(i)] = true;
    return i;
}

} // namespace station
