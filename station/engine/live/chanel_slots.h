// The station's camera-window slots 1..32 (`ChanelForms`, `ChanelPresent`, `NewChanelNumber`)
// and the add-window command. A slot is used when it is present and has a window.
#pragma once

#include "chanel_window.h"
#include "base/limits.h"

#include <array>
#include <cstdint>
#include <functional>

namespace station {

class ChanelSlots {
public:
    std::array<ChanelWindow*, kSlotCount + 1> ChanelForms{}; // [slot], nil = none
    std::array<bool, kSlotCount + 1> ChanelPresent{};
    std::int32_t NewChanelNumber = 0;

    // The window of a used slot, else null.
    ChanelWindow* Used(int slot) const {
        if (!ValidSlot(slot) || !ChanelPresent[static_cast<std::size_t>(slot)]) {
            return nullptr;
        }
        return ChanelForms[static_cast<std::size_t>(slot)];
    }
    // The lowest slot with neither flag set, or 0.
    int FreeSlot() const;
    // FormDestroy of the slot's window: present cleared, window nil.
    void Release(int slot);
};

// AddChanelClick: in the lowest free slot, NewChanelNumber := slot, `create` makes and shows
// the window for it (the widget does that), the slot gets it and is marked present. Answers the
// slot, or 0 with every slot in use (nothing is created then).
int AddChanel(ChanelSlots& slots, const std::function<ChanelWindow*(int slot)>& create);

} // namespace station
