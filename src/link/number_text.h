#pragma once

#include <optional>
#include <string_view>

namespace orvik::link {

// The one reader of numbers in text, the same on every desktop: the full stop is the decimal point
// whatever the process locale says. (The C library's strtod follows LC_NUMERIC, which Qt sets from the
// desktop at start-up: under de_DE.UTF-8 it reads "1.0124" as 1.) The writers are formatGeneral and
// formatFixed (display_format.h).

// The whole text as a number: blanks around it, an optional minus sign, digits with an optional
// fraction (".5" and "5." too), an optional exponent. None for anything else ("12,5", "1e", "inf",
// "nan", a plus sign) and for a magnitude a double cannot hold.
std::optional<double> ReadNumber(std::string_view text);

// The number a text starts with, as the windows read a caption or an entry: leading blanks, an optional
// sign, digits with an optional fraction and exponent; whatever follows is ignored ("12.5 V" reads 12.5).
// A text that starts with no number reads 0 ("-").
double leadingNumber(std::string_view text);

}  // namespace orvik::link
