#pragma once
// The two ways numbers appear in messages, each in exactly one place.
#include <string>

namespace vesk {

// Display form: shortest text that reads back to the same double, never in exponent form;
// whole numbers without a fractional part (2.0 -> "2"); "NaN", "inf", "-inf".
std::string display_number(double value);

// Diagnostic form: like display, but a float always shows that it is one: a fractional part
// (1000.0 -> "1000.0") or, for very large or very small magnitudes, an exponent (1e16 -> "1e16").
std::string diagnostic_number(double value);

// Fixed decimals, for the few texts that ask for them ("{:.2f}").
std::string fixed_number(double value, int decimals);

}  // namespace vesk
