#include "access_control.h"

#include "settings/settings_files.h"

namespace station {

std::uint8_t CheckTyped(const std::string& typed, const LoginPasswords& passwords) {
    if (typed == passwords.Level1) {
        return kAccessFull;
    }
    if (typed == passwords.Level2) {
        return kAccessLimited;
    }
    return 0;
}

AccessControl::AccessControl(const BaseState& base, AccessState& access, AccessPort& port)
    : base_(base), access_(access), port_(port) {}

void AccessControl::PassButClick() {
    if (access_.AccessStatus == kAccessFull || access_.AccessStatus == kAccessLimited) {
        port_.SetPassButPicture(false);
        access_.AccessStatus = kAccessLocked;
        port_.SystemStatusSet();
        return;
    }
    check_access_password();
}

void AccessControl::check_access_password() {
    if (port_.LoginOpen()) {
        return;
    }
    login_result_ = 0;
    LoginPasswords passwords{LoadPasswordFile(base_, kAccessFull),
                             LoadPasswordFile(base_, kAccessLimited)};
    if (passwords.Level1.empty()) {
        // Without a level-1 password everyone has full access.
        LoginEnded(kAccessFull);
        return;
    }
    port_.OpenLogin(passwords);
}

void AccessControl::LoginEnded(std::uint8_t result) {
    login_result_ = result;
    if (port_.Closing() || access_.AccessStatus != kAccessLocked) {
        return;
    }
    if (result == kAccessFull || result == kAccessLimited) {
        apply(result);
    }
}

void AccessControl::apply(std::uint8_t level) {
    port_.SetPassButPicture(true);
    access_.AccessStatus = level;
    port_.SystemStatusSet();
    if (port_.StealthActive()) {
        port_.LeaveStealth();
    }
}

} // namespace station
