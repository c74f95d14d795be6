// The login dialog (TCheckPassword) without widgets: the check of the typed entry and the
// refusal's flash. The flash runs on the system tick: the form's timer asks FlashTick on each
// tick and the flash ends once more than 4000 ms have passed since the refusal.
#pragma once

#include "access_control.h"
#include "base/language.h"

#include <cstdint>
#include <string>

namespace station {

class CheckPasswordModel {
public:
    static constexpr std::uint32_t kFlashMs = 4000;
    static constexpr int kMaxLength = 5;

    CheckPasswordModel(const LanguageList& lang, LoginPasswords passwords);

    const LanguageList& Lang() const { return lang_; }
    std::string Caption() const;
    std::string Prompt() const;
    std::string RefusalText() const;

    // OK: the result (1 or 2) of a matching entry; 0 starts the refusal at tick `now`.
    std::uint8_t Check(const std::string& typed, std::uint32_t now);
    bool Flashing() const { return flashing_; }
    std::uint8_t Result() const { return result_; }

    enum class Colour { Red, White };
    // The refusal text's colour t ms after the refusal: red in the first half of each second
    // (both ends included), white in the second; white again from 4000 ms on.
    static Colour FlashColour(std::uint32_t t);

    struct Flash {
        Colour colour = Colour::Red;
        bool done = false;
    };
    // A tick of the flash at `now`; a tick below the start (the counter wrapped) starts the
    // flash again there. Done once more than 4000 ms have passed.
    Flash FlashTick(std::uint32_t now);

private:
    const LanguageList& lang_;
    LoginPasswords passwords_;
    std::uint8_t result_ = 0;
    bool flashing_ = false;
    std::uint32_t flash_start_ = 0;
};

} // namespace station
