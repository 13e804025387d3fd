#include "mrmc/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace varnel::mrmc::text {

std::string fixed(double v, int decimals, const char* not_a_number)
{
    if (std::isnan(v)) return not_a_number;
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    const std::string out = buf;
    if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) return out.substr(1);
    return out;
}

std::string counted(std::size_t n, const std::string& one, const std::string& many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::size_t display_width(const std::string& s)
{
    return std::size_t(std::count_if(
        s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string wrapped(const std::string& text, const std::string& first_indent,
                    const std::string& indent, std::size_t width)
{
    std::string out, line = first_indent;
    bool empty = true;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        if (!empty && display_width(line) + 1 + display_width(word) > width) {
            out += line + "\n";
            line = indent;
            empty = true;
        }
        line += (empty ? "" : " ") + word;
        empty = false;
    }
    return out + line + "\n";
}

}  // namespace varnel::mrmc::text
