// Reading and writing the rating values of a study as text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnel::study {

// The number a whole text spells in decimal or exponent notation ("2",
// "-0.5", "+1.25e3"); inf, nan and numbers beyond the range of a double (as
// +-inf) come back for the caller to refuse.  Empty: the text is not a number.
std::optional<double> parse_number(std::string_view text);

// The shortest text that reads back as exactly x ("0.1", "2.5e-07" -> "2.5e-7").
std::string exact_number(double x);

// x with at most `digits` significant digits (1 to 17), trailing zeros
// dropped and the exponent written short ("1e+300" -> "1e300"); the exact
// text when that is no longer.
std::string compact_number(double x, int digits);

}  // namespace varnel::study
