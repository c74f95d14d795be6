// Stealth mode at the end of the second stage: entered when "stl.pdt" asks for it, left
// otherwise. Until stealth mode exists, `NoStealth` leaves it by showing the main form.
#pragma once

#include "window_port.h"

namespace station {

class StealthPort {
public:
    virtual ~StealthPort() = default;
    virtual void EnterStealth() = 0;
    virtual void LeaveStealth() = 0;
};

class NoStealth : public StealthPort {
public:
    explicit NoStealth(WindowPort& window) : window_(window) {}
    void EnterStealth() override {}
    void LeaveStealth() override { window_.ShowMainForm(); }

private:
    WindowPort& window_;
};

} // namespace station
