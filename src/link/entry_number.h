#pragma once

#include <optional>
#include <string_view>

namespace orvik::link {

// The true value a technician typed for a trim, read whole: blanks around it aside, digits with at most
// one decimal point ("13", "12.5", ".5"), and a leading minus only where `allowMinus` (a range that goes
// below zero). Anything else is none: an empty text, letters, a decimal comma, a unit after the number,
// an exponent, a plus sign, "nan", "inf", and a number too large or too small for a double.
std::optional<double> ParseEntryNumber(std::string_view text, bool allowMinus);

}  // namespace orvik::link
