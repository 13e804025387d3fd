// Number text: whole-field parsing and short formatting for labels.
#include "study/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace varnel::study {

namespace {

// "e+07" -> "e7", "e-05" -> "e-5": the exponent without plus sign and
// leading zeros, so that a label keeps more room for digits.
std::string short_exponent(std::string text)
{
    const auto e = text.find('e');
    if (e == std::string::npos)
        return text;
    std::string mantissa = text.substr(0, e);
    std::string_view exponent = std::string_view(text).substr(e + 1);
    std::string sign;
    if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
        if (exponent[0] == '-')
            sign = "-";
        exponent.remove_prefix(1);
    }
    while (exponent.size() > 1 && exponent[0] == '0')
        exponent.remove_prefix(1);
    return mantissa + "e" + sign + std::string(exponent);
}

}  // namespace

// std::from_chars takes no leading plus sign; one is allowed before a digit
// or decimal point.  from_chars is exact and independent of the locale.
std::optional<double> parse_number(std::string_view text)
{
    if (!text.empty() && text[0] == '+') {
        text.remove_prefix(1);
        if (text.empty() || text[0] == '-' || text[0] == '+')
            return std::nullopt;
    }
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ptr != end || text.empty() || (ec != std::errc() && ec != std::errc::result_out_of_range))
        return std::nullopt;
    if (ec == std::errc::result_out_of_range)  // beyond a double: strtod gives +-inf or the nearest
                                               // tiny value
        return std::strtod(std::string(text).c_str(), nullptr);
    return value;
}

// Shortest round-trip form (std::to_chars without precision).
std::string exact_number(double x)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, x);
    return short_exponent(std::string(buffer, r.ptr));
}

// The %g form at `digits`, unless the exact form is as short.
std::string compact_number(double x, int digits)
{
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, digits);
    std::string rounded = short_exponent(std::string(buffer, r.ptr));
    std::string exact = exact_number(x);
    return exact.size() <= rounded.size() ? exact : rounded;
}

}  // namespace varnel::study
