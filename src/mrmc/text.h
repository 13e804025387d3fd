// Number and text pieces shared by the comparison, fit and power reports.
#pragma once

#include <cstddef>
#include <string>

namespace varnel::mrmc::text {

// Fixed-point text; NaN as `not_a_number`, infinities as "inf" and "-inf";
// a negative value that rounds to zero has no sign (a difference of equal
// FOMs that rounding left at -1e-17 reads 0.000000).
std::string fixed(double v, int decimals, const char* not_a_number = "NaN");

// "1 reader", "5 readers".
std::string counted(std::size_t n, const std::string& one, const std::string& many);

// Characters shown of UTF-8 text (continuation bytes take no column).
std::size_t display_width(const std::string& s);

// Text broken at blanks into lines of at most `width` columns (a longer word
// stands alone), the first line after `first_indent`, the others after
// `indent`; each line ends with a newline.
std::string wrapped(const std::string& text, const std::string& first_indent,
                    const std::string& indent, std::size_t width);

}  // namespace varnel::mrmc::text
