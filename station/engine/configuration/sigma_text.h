// The text form of a camera window's SigmaFactor in its settings file: fixed notation with two
// decimals and a point (5.0 is "5.00"), whatever the process locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace station {

std::string FormatSigmaFactor(double value);

// The number in `text` (blanks around it allowed, "," taken as the decimal point), or nothing
// when the text is not wholly a finite decimal number (an exponent is accepted).
std::optional<double> ParseSigmaFactor(std::string_view text);

} // namespace station
