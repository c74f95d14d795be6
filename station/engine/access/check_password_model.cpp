#include "check_password_model.h"

#include "base/language_lines.h"

#include <utility>

namespace station {

CheckPasswordModel::CheckPasswordModel(const LanguageList& lang, LoginPasswords passwords)
    : lang_(lang), passwords_(std::move(passwords)) {}

std::string CheckPasswordModel::Caption() const {
    return lang_[kLineLoginCaption];
}

std::string CheckPasswordModel::Prompt() const {
    return lang_[kLineEnterPassword];
}

std::string CheckPasswordModel::RefusalText() const {
    return lang_[kLineWrongPassword];
}

std::uint8_t CheckPasswordModel::Check(const std::string& typed, std::uint32_t now) {
    result_ = CheckTyped(typed, passwords_);
    if (result_ == 0) {
        flashing_ = true;
        flash_start_ = now;
    }
    return result_;
}

CheckPasswordModel::Colour CheckPasswordModel::FlashColour(std::uint32_t t) {
    if (t >= kFlashMs) {
        return Colour::White;
    }
    return t % 1000 <= 500 ? Colour::Red : Colour::White;
}

CheckPasswordModel::Flash CheckPasswordModel::FlashTick(std::uint32_t now) {
    if (!flashing_) {
        return {Colour::White, true};
    }
    if (now < flash_start_) {
        flash_start_ = now;
    }
    const std::uint32_t t = now - flash_start_;
    if (t > kFlashMs) {
        flashing_ = false;
        return {Colour::White, true};
    }
    return {FlashColour(t), false};
}

} // namespace station
