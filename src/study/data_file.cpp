// Data file text for varnel and file names for the tables of a study.
#include "varnel/data_file.h"

#include <algorithm>
#include <cstdio>

#include "varnel/table.h"

namespace varnel::study {

namespace {

constexpr std::size_t identifier_bytes = 63;  // varnel's 64 minus the blank after the colon
constexpr std::size_t label_width = 16;       // columns 2 to 17
constexpr std::size_t name_part_chars = 40;   // reader and modality in a file name
constexpr int min_number_digits = 2;

// UTF-8 continuation bytes (10xxxxxx); control characters (C0 and DEL).
bool is_continuation_byte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// The first bytes of text, at most `limit`, never ending inside a UTF-8 character.
std::string_view cut_utf8(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && is_continuation_byte(text[end]))
        --end;
    return text.substr(0, end);
}

// The text with every control character as a blank.
std::string without_controls(std::string_view text)
{
    std::string out(text);
    std::replace_if(out.begin(), out.end(), is_control, ' ');
    return out;
}

// A table row: label in columns 2 to 17, then one or two counts.
std::string table_row(std::string_view label, int first, int second, bool single)
{
    std::string row = " " + without_controls(cut_utf8(label, label_width));
    row.resize(1 + label_width, ' ');
    char counts[32];
    if (single)
        std::snprintf(counts, sizeof counts, " %5d", second);
    else
        std::snprintf(counts, sizeof counts, " %5d %5d", first, second);
    return row + counts + "\n";
}

// Dimensions within varnel's limits and no negative count.
Expected<void> check_limits(const Study& s)
{
    const std::string where =
        "table of reader \"" + s.observer + "\", modality \"" + s.condition + "\": ";
    if (s.targets < 0 || s.targets > max_targets)
        return input_error(where + std::to_string(s.targets) +
                           " target distributions; varnel takes 0 to " +
                           std::to_string(max_targets));
    if (s.categories < 1 || s.categories > max_categories)
        return input_error(where + std::to_string(s.categories) +
                           " categories; varnel takes 1 to " + std::to_string(max_categories));
    if (s.noloc < 0 || s.noloc > s.categories)
        return input_error(where + "NOLOC " + std::to_string(s.noloc) + " is outside 0 to " +
                           std::to_string(s.categories));
    for (int m = 1; m <= s.targets + 1; ++m)
        for (int k = 1; k <= s.categories; ++k)
            if (s.incorrect(k, m) < 0 || s.correct(k, m) < 0)
                return input_error(where + "a negative count in category " + std::to_string(k));
    return {};
}

}  // namespace

// Cut at a character boundary, then control characters as blanks.
std::string data_file_identifier(std::string_view text)
{
    return without_controls(cut_utf8(text, identifier_bytes));
}

// Keyword lines, then per distribution a heading and one row per category.
Expected<std::string> format_data_file(const Study& s)
{
    if (Expected<void> limits = check_limits(s); !limits)
        return limits.error();
    std::string text = "LROCDATA\n";
    text += "OBSERVER: " + data_file_identifier(s.observer) + "\n";
    text += "CONDITION: " + data_file_identifier(s.condition) + "\n";
    text += "REPLICATION: " + data_file_identifier(s.replication) + "\n";
    text += "NDIST: " + std::to_string(s.targets) + "\n";
    text += "NCAT: " + std::to_string(s.categories) + "\n";
    text += "NOLOC: " + std::to_string(s.noloc) + "\n";
    for (int m = 1; m <= s.targets + 1; ++m) {
        text += m == 1 ? std::string("Non-target distribution\n")
                       : "Target distribution " + std::to_string(m - 1) + "\n";
        for (int k = 1; k <= s.categories; ++k) {
            const bool single = k <= s.noloc + 1 && s.incorrect(k, m) == 0;
            text += table_row(s.labels[k - 1], s.incorrect(k, m), s.correct(k, m), single);
        }
    }
    return text;
}

// Safe ASCII kept, any other character one '_'.
std::string file_name_part(std::string_view text)
{
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size() && chars < name_part_chars; ++i) {
        const char c = text[i];
        if (is_continuation_byte(c))
            continue;
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        out += safe ? c : '_';
        ++chars;
    }
    return out;
}

std::string data_file_name(int number, int count, std::string_view reader,
                           std::string_view modality)
{
    const int digits = std::max(min_number_digits, static_cast<int>(std::to_string(count).size()));
    std::string prefix = std::to_string(number);
    prefix.insert(0, prefix.size() < static_cast<std::size_t>(digits) ? digits - prefix.size() : 0,
                  '0');
    return prefix + "_" + file_name_part(reader) + "_" + file_name_part(modality) + ".lrc";
}

}  // namespace varnel::study
