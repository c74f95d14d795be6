// Login and lock (`PassButClick`, also the tray icon's double click) and the password gate
// (`CheckAccessPassword`). The gate never waits: it shows the login dialog and returns; the
// dialog's end brings its result back once (LoginEnded), which then applies the level.
#pragma once

#include "access_state.h"
#include "base/base_state.h"

#include <cstdint>
#include <string>

namespace station {

// The two passwords as the gate read them at the attempt (either may be empty).
struct LoginPasswords {
    std::string Level1;
    std::string Level2;
};

// The check of a typed entry: 1 when it equals the level-1 password (tried first), 2 when it
// equals the level-2 password, else 0.
std::uint8_t CheckTyped(const std::string& typed, const LoginPasswords& passwords);

// What the gate asks of the window system.
class AccessPort {
public:
    virtual ~AccessPort() = default;
    // The lock button's picture: unlocked or locked.
    virtual void SetPassButPicture(bool unlocked) = 0;
    virtual void SystemStatusSet() = 0;
    virtual bool LoginOpen() const = 0;
    // Shows the login dialog (modeless) and returns; its end calls LoginEnded once.
    virtual void OpenLogin(const LoginPasswords& passwords) = 0;
    virtual bool StealthActive() const = 0;
    virtual void LeaveStealth() = 0;
    // The station is closing: a login that ends now changes nothing.
    virtual bool Closing() const = 0;
};

class AccessControl {
public:
    AccessControl(const BaseState& base, AccessState& access, AccessPort& port);

    // Unlocked: lock. Locked: the password gate.
    void PassButClick();
    // The login dialog's end with its result (0 refused or closed, 1, 2).
    void LoginEnded(std::uint8_t result);

    // The outcome of the last login attempt: 0 refused, 1 level 1, 2 level 2.
    std::uint8_t LoginResult() const { return login_result_; }

private:
    // Starts a login: nothing while one is open; at once at full access when no level-1
    // password is set.
    void check_access_password();
    void apply(std::uint8_t level);

    const BaseState& base_;
    AccessState& access_;
    AccessPort& port_;
    std::uint8_t login_result_ = 0;
};

} // namespace station
