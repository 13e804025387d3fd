// Per-case ratings CSV: the separator taken from the header, a small exact
// RFC 4180 scanner, then the columns the header names and the checks of each
// row.
#include "varnel/cases.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "study/numbers.h"
#include "varnel/table.h"

namespace varnel::study {

namespace {

constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
constexpr const char* columns_help =
    "the header needs the columns reader, modality, case, truth and rating "
    "and optionally localized";
constexpr std::size_t read_chunk = 1 << 16;
// The separators a file may use, in the order they are tried.
constexpr char separators[] = {',', ';', '\t'};
// At most this many header columns, each cut at this many bytes, are shown
// when a required column is missing.
constexpr std::size_t shown_columns = 12;
constexpr std::size_t shown_name_bytes = 40;

struct Field {
    std::string text;
    int line = 0;  // line where the field begins
    bool quoted = false;
};

struct Record {
    std::vector<Field> fields;
    int line = 0;  // line where the record begins
};

// Position in the text being scanned, with its line number and the separator
// of its fields.
struct Cursor {
    std::string_view text;
    char separator = ',';
    std::size_t pos = 0;
    int line = 1;

    bool at_end() const { return pos >= text.size(); }
    char peek() const { return text[pos]; }
    // Blanks around fields are spaces, and tabs unless tabs separate fields.
    bool is_blank(char c) const { return c == ' ' || (c == '\t' && separator != '\t'); }
    // A field ends at the separator or a line end.
    bool ends_field(char c) const { return c == separator || c == '\n' || c == '\r'; }
};

// "source:line: what".
Error error_at(const std::string& source, int line, const std::string& what)
{
    return input_error(source + ":" + std::to_string(line) + ": " + what);
}

// A field in double quotes, for messages.
std::string in_quotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Offset of the first byte that does not begin a valid UTF-8 character
// (overlong forms, surrogates and code points above U+10FFFF are invalid), or
// npos when the whole text is valid.
std::size_t invalid_utf8_offset(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char second_min = 0x80, second_max = 0xBF;
        if (c >= 0xC2 && c <= 0xDF)
            length = 2;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4;
        else
            return i;
        if (c == 0xE0)
            second_min = 0xA0;
        if (c == 0xED)
            second_max = 0x9F;
        if (c == 0xF0)
            second_min = 0x90;
        if (c == 0xF4)
            second_max = 0x8F;
        if (i + length > s.size())
            return i;
        for (int k = 1; k < length; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            const unsigned char lo = k == 1 ? second_min : 0x80;
            const unsigned char hi = k == 1 ? second_max : 0xBF;
            if (d < lo || d > hi)
                return i;
        }
        i += length;
    }
    return std::string_view::npos;
}

// The line (1-based) that holds byte `offset` of the text.
int line_of_offset(std::string_view text, std::size_t offset)
{
    int line = 1;
    for (std::size_t i = 0; i < offset; ++i)
        line += text[i] == '\n';
    return line;
}

// Moves past the blanks.
void skip_blanks(Cursor& in)
{
    while (!in.at_end() && in.is_blank(in.peek()))
        ++in.pos;
}

// A quoted field from its opening quote through its closing quote; a quote
// written twice stands for one, line breaks are part of the field.
Expected<std::string> scan_quoted(Cursor& in, const std::string& source)
{
    const int open_line = in.line;
    std::string text;
    ++in.pos;
    for (;;) {
        if (in.at_end())
            return error_at(source, open_line,
                            "the quoted field that begins here is not closed; a quote inside a "
                            "quoted field is written twice (\"\")");
        const char c = in.text[in.pos++];
        if (c == '"') {
            if (in.at_end() || in.peek() != '"')
                return text;
            ++in.pos;
        }
        if (c == '\n')
            ++in.line;
        text += c;
    }
}

// An unquoted field up to the next separator or line end, trailing blanks
// dropped.
Expected<std::string> scan_plain(Cursor& in, const std::string& source)
{
    const std::size_t start = in.pos;
    while (!in.at_end() && !in.ends_field(in.peek())) {
        if (in.peek() == '"')
            return error_at(source, in.line,
                            "a quote inside a field that does not begin with one; put the field "
                            "in quotes and write the quote twice (\"\")");
        ++in.pos;
    }
    std::string_view field = in.text.substr(start, in.pos - start);
    while (!field.empty() && in.is_blank(field.back()))
        field.remove_suffix(1);
    return std::string(field);
}

// One field, with the blanks around it skipped.
Expected<Field> scan_field(Cursor& in, const std::string& source)
{
    skip_blanks(in);
    Field field;
    field.line = in.line;
    field.quoted = !in.at_end() && in.peek() == '"';
    Expected<std::string> text = field.quoted ? scan_quoted(in, source) : scan_plain(in, source);
    if (!text)
        return text.error();
    if (field.quoted) {
        skip_blanks(in);
        if (!in.at_end() && !in.ends_field(in.peek()))
            return error_at(source, in.line,
                            "text after the closing quote of a field; a quote inside a quoted "
                            "field is written twice (\"\")");
    }
    field.text = std::move(*text);
    return field;
}

// The fields of one record and the line end after it (LF, CRLF or the end of
// the text).
Expected<Record> scan_record(Cursor& in, const std::string& source)
{
    Record record;
    record.line = in.line;
    for (;;) {
        Expected<Field> field = scan_field(in, source);
        if (!field)
            return field.error();
        record.fields.push_back(std::move(*field));
        if (in.at_end())
            return record;
        const char c = in.text[in.pos++];
        if (c == in.separator)
            continue;
        if (c == '\r') {
            if (in.at_end() || in.peek() != '\n')
                return error_at(source, in.line,
                                "a carriage return without a line feed; save the file with LF or "
                                "CRLF line ends");
            ++in.pos;
        }
        ++in.line;
        return record;
    }
}

// A line that holds nothing but blanks and separators (a spreadsheet's empty
// row).
bool is_blank_record(const Record& r)
{
    for (const Field& f : r.fields)
        if (f.quoted || !f.text.empty())
            return false;
    return true;
}

// All records of the text, blank lines left out.
Expected<std::vector<Record>> split_records(std::string_view text, char separator,
                                            const std::string& source)
{
    std::vector<Record> records;
    Cursor in{text, separator};
    while (!in.at_end()) {
        Expected<Record> record = scan_record(in, source);
        if (!record)
            return record.error();
        if (!is_blank_record(*record))
            records.push_back(std::move(*record));
    }
    return records;
}

// Field positions of the columns the study uses (-1: absent).
struct Columns {
    int reader = -1, modality = -1, case_name = -1, truth = -1, rating = -1, localized = -1;
    std::size_t count = 0;  // fields in the header
};

struct NamedColumn {
    const char* name;
    int Columns::*field;
    bool required;
};
constexpr NamedColumn named_columns[] = {
    {"reader", &Columns::reader, true},  {"modality", &Columns::modality, true},
    {"case", &Columns::case_name, true}, {"truth", &Columns::truth, true},
    {"rating", &Columns::rating, true},  {"localized", &Columns::localized, false},
};

// The text with its ASCII letters in lowercase.
std::string lowercase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// A header's column name as it is matched: blanks around it dropped, ASCII
// letters in lowercase ("  Reader " -> "reader").
std::string folded_name(std::string_view name)
{
    const std::size_t first = name.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return lowercase(name.substr(first, name.find_last_not_of(" \t") - first + 1));
}

// The column a header field names, or null for a column the study ignores.
const NamedColumn* named_column(std::string_view field)
{
    const std::string name = folded_name(field);
    for (const NamedColumn& n : named_columns)
        if (name == n.name)
            return &n;
    return nullptr;
}

// How messages name a separator: ";" in quotes, or "a tab".
std::string separator_name(char separator)
{
    return separator == '\t' ? "a tab" : in_quotes(std::string(1, separator));
}

// A column name for a message, cut after about shown_name_bytes bytes (at the
// start of a UTF-8 character).
std::string shown_name(std::string_view name)
{
    if (name.size() <= shown_name_bytes)
        return in_quotes(name);
    std::size_t cut = shown_name_bytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return in_quotes(std::string(name.substr(0, cut)) + "...");
}

// What a header without a required column holds, for the message: its first
// columns as given, the separator when it is not a comma, and a question when
// a comma-separated column holds another separator ("; found the column
// \"Reader;Case\"; is the separator \";\"?").
std::string found_columns(const Record& header, char separator)
{
    const std::vector<Field>& fields = header.fields;
    std::string text = fields.size() == 1 ? "; found the column " : "; found the columns ";
    for (std::size_t i = 0; i < fields.size() && i < shown_columns; ++i)
        text += (i > 0 ? ", " : "") + shown_name(fields[i].text);
    if (fields.size() > shown_columns)
        text += ", ... (" + std::to_string(fields.size()) + " columns)";
    if (separator != ',')
        return text + (separator == '\t' ? " separated by tabs"
                                         : " separated by " + separator_name(separator));
    for (const char other : {';', '\t'})
        for (const Field& f : fields)
            if (f.text.find(other) != std::string::npos)
                return text + "; is the separator " + separator_name(other) + "?";
    return text;
}

// The header's columns by name, without regard to case and blanks around
// them; the required ones present, none twice.
Expected<Columns> find_columns(const Record& header, char separator, const std::string& source)
{
    Columns columns;
    columns.count = header.fields.size();
    bool ignored = false;  // a column the study does not use
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const NamedColumn* n = named_column(header.fields[i].text);
        if (n == nullptr) {
            ignored = true;
            continue;
        }
        int& position = columns.*(n->field);
        if (position >= 0) {
            const std::string& first = header.fields[position].text;
            const std::string& again = header.fields[i].text;
            return error_at(source, header.line,
                            first == again ? "the column " + in_quotes(first) +
                                                 " appears twice in the header"
                                           : "the header names the column " + in_quotes(n->name) +
                                                 " twice, as " + in_quotes(first) + " and " +
                                                 in_quotes(again) + "; keep one of them");
        }
        position = static_cast<int>(i);
    }
    for (const NamedColumn& n : named_columns)
        if (n.required && columns.*n.field < 0)
            return error_at(source, header.line,
                            "no " + in_quotes(n.name) + " column; " + columns_help +
                                (ignored ? found_columns(header, separator) : ""));
    return columns;
}

// The number of required columns the first record of the text names when
// its fields are split at `separator`, or -1 when it cannot be scanned so.
int required_columns_named(std::string_view text, char separator)
{
    Cursor in{text, separator};
    const std::string source;
    while (!in.at_end()) {
        Expected<Record> record = scan_record(in, source);
        if (!record)
            return -1;
        if (is_blank_record(*record))
            continue;
        int named = 0;
        for (const NamedColumn& n : named_columns) {
            bool found = false;
            for (const Field& f : record->fields)
                found = found || named_column(f.text) == &n;
            named += n.required && found;
        }
        return named;
    }
    return -1;
}

// The separator of the file's fields, from its header: a comma when the
// header split at commas names a required column, else the semicolon or tab
// that names more of them; a comma when neither names any.
char detect_separator(std::string_view text)
{
    char best = ',';
    int best_named = 0;
    for (const char separator : separators) {
        const int named = required_columns_named(text, separator);
        if (separator == ',' && named > 0)
            return ',';
        if (named > best_named) {
            best = separator;
            best_named = named;
        }
    }
    return best;
}

// How messages name a place of the input: "t.csv:17: " for a file's lines,
// "t: row 17: " for data rows of columns in memory.
struct Places {
    const std::string& source;
    bool rows = false;

    Error at(int place, const std::string& what) const
    {
        return rows ? input_error(source + ": row " + std::to_string(place) + ": " + what)
                    : error_at(source, place, what);
    }
    std::string on(int place) const { return (rows ? "row " : "line ") + std::to_string(place); }
};

// The texts of the faults of one field, shared by both inputs.
std::string truth_fault(std::string_view text)
{
    return "truth " + in_quotes(text) + " is not 0 (no target) or a target class from 1 to " +
           std::to_string(max_targets);
}
std::string rating_fault(std::string_view text, bool finite_only)
{
    if (finite_only)
        return "rating " + in_quotes(text) + " is not a finite number";
    // A decimal comma, as spreadsheets write numbers in many languages.
    std::string pointed(text);
    const std::size_t comma = pointed.find(',');
    if (comma != std::string::npos && pointed.find(',', comma + 1) == std::string::npos) {
        pointed[comma] = '.';
        if (parse_number(pointed))
            return "rating " + in_quotes(text) +
                   " is not a number; write numbers with a decimal point, not a comma";
    }
    return "rating " + in_quotes(text) + " is not a number";
}
std::string localized_fault(std::string_view text)
{
    return "localized " + in_quotes(text) +
           " is not 1 (correct), 0 (incorrect) or empty (not recorded)";
}

// A whole number of at most three digits, with or without a decimal point
// and zeros after it ("2", "2.0", "02.00"), as a spreadsheet or data frame
// may write an integer.
std::optional<int> whole_number(std::string_view text)
{
    const std::size_t point = text.find('.');
    if (point != std::string_view::npos) {
        const std::string_view zeros = text.substr(point + 1);
        if (zeros.empty() || zeros.find_first_not_of('0') != std::string_view::npos)
            return std::nullopt;
        text = text.substr(0, point);
    }
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::stoi(std::string(text));
}

// "true" or "false" in any case, as spreadsheets and data frames write truth
// values.
std::optional<bool> truth_value(std::string_view text)
{
    const std::string word = lowercase(text);
    if (word == "true")
        return true;
    if (word == "false")
        return false;
    return std::nullopt;
}

// truth: a whole number 0 to 15, or true (1) and false (0).
Expected<int> parse_truth(std::string_view text)
{
    if (const std::optional<bool> flag = truth_value(text))
        return *flag ? 1 : 0;
    const std::optional<int> value = whole_number(text);
    if (!value || *value > max_targets)
        return input_error(truth_fault(text));
    return *value;
}

// rating: a finite number.
Expected<double> parse_rating(std::string_view text)
{
    const std::optional<double> value = parse_number(text);
    if (!value)
        return input_error(rating_fault(text, false));
    if (!std::isfinite(*value))
        return input_error(rating_fault(text, true));
    return *value + 0.0;  // -0 becomes 0, one value for ties
}

// localized: 1 or true (correct), 0 or false (incorrect), empty or NA (not
// recorded); 1.0 and 0.0 as 1 and 0.
Expected<Localization> parse_localized(std::string_view text)
{
    if (text.empty() || lowercase(text) == "na")
        return Localization::unknown;
    std::optional<int> value = whole_number(text);
    if (const std::optional<bool> flag = truth_value(text))
        value = *flag ? 1 : 0;
    if (value == 1)
        return Localization::correct;
    if (value == 0)
        return Localization::incorrect;
    return input_error(localized_fault(text));
}

// One row's values, each parsed on its own, with the places messages name.
struct RowValues {
    std::string_view reader, modality, case_name;
    int truth = 0;
    double rating = 0.0;
    Localization localization = Localization::unknown;
    std::string localized_text;  // as given, for messages
    int line = 0;                // the row
    int name_line[3] = {};       // reader, modality and case fields
    int localized_line = 0;
};

// Reader, modality and case names are not empty.
Expected<void> check_names(const RowValues& row, const Places& places)
{
    const std::string_view names[] = {row.reader, row.modality, row.case_name};
    const char* what[] = {"reader", "modality", "case"};
    for (int i = 0; i < 3; ++i)
        if (names[i].empty())
            return places.at(row.name_line[i],
                             std::string("empty ") + what[i] +
                                 " name; every row needs a reader, a modality and a case");
    return {};
}

// Builds the study row by row: names indexed in order of first appearance,
// each case's truth and each (reader, modality, case) remembered with the
// place that gave it.
class StudyBuilder {
public:
    StudyBuilder(const Places& places, bool has_localization) : places_(places)
    {
        study_.source = places.source;
        study_.has_localization = has_localization;
        study_.numbered_by_row = places.rows;
    }

    Expected<void> add_row(const RowValues& row);
    CaseStudy take() { return std::move(study_); }

private:
    static int index_of(std::string_view name, std::vector<std::string>& names,
                        std::unordered_map<std::string, int>& index);
    Expected<int> add_case(std::string_view name, int truth, int line);

    const Places& places_;
    CaseStudy study_;
    std::unordered_map<std::string, int> readers_, modalities_, cases_;
    std::vector<int> case_line_;  // first place of each case
    std::map<std::tuple<int, int, int>, int> reading_line_;
};

int StudyBuilder::index_of(std::string_view name, std::vector<std::string>& names,
                           std::unordered_map<std::string, int>& index)
{
    const auto [it, added] = index.try_emplace(std::string(name), static_cast<int>(names.size()));
    if (added)
        names.emplace_back(name);
    return it->second;
}

// The index of a case, added at its first row; a later row must repeat its truth.
Expected<int> StudyBuilder::add_case(std::string_view name, int truth, int line)
{
    const int c = index_of(name, study_.cases, cases_);
    if (c == static_cast<int>(study_.truth.size())) {
        study_.truth.push_back(truth);
        case_line_.push_back(line);
    } else if (study_.truth[c] != truth) {
        return places_.at(line, "case " + in_quotes(name) + " has truth " + std::to_string(truth) +
                                    " here but truth " + std::to_string(study_.truth[c]) + " on " +
                                    places_.on(case_line_[c]) +
                                    "; a case has one truth in all its rows");
    }
    return c;
}

// Checks one row, its names and fields checked already, against the rows
// before it and adds its reading.
Expected<void> StudyBuilder::add_row(const RowValues& row)
{
    if (row.truth == 0 && row.localization != Localization::unknown)
        return places_.at(row.localized_line,
                          "localized is " + in_quotes(row.localized_text) + " but case " +
                              in_quotes(row.case_name) +
                              " has no target (truth 0); leave localized empty for a case "
                              "without a target");
    Expected<int> case_index = add_case(row.case_name, row.truth, row.line);
    if (!case_index)
        return case_index.error();

    Reading r;
    r.reader = index_of(row.reader, study_.readers, readers_);
    r.modality = index_of(row.modality, study_.modalities, modalities_);
    r.case_index = *case_index;
    r.rating = row.rating;
    r.localization = row.localization;
    r.line = row.line;
    const auto [it, added] =
        reading_line_.try_emplace(std::make_tuple(r.reader, r.modality, r.case_index), row.line);
    if (!added)
        return places_.at(row.line, "reader " + in_quotes(study_.readers[r.reader]) +
                                        ", modality " + in_quotes(study_.modalities[r.modality]) +
                                        ", case " + in_quotes(row.case_name) +
                                        " is rated a second time (first on " +
                                        places_.on(it->second) +
                                        "); give one row per reader, modality and case");
    study_.readings.push_back(r);
    return {};
}

// The values of one CSV record: the field count checked, then truth, rating
// and localized parsed in that order.
Expected<RowValues> csv_row(const Record& row, const Columns& columns, char separator,
                            const Places& places)
{
    const char* separator_word = separator == ','   ? "comma"
                                 : separator == ';' ? "semicolon"
                                                    : "tab";
    if (row.fields.size() != columns.count)
        return places.at(row.line, std::to_string(row.fields.size()) +
                                       " fields, but the header has " +
                                       std::to_string(columns.count) +
                                       "; put a field that contains a " + separator_word +
                                       " in quotes");
    RowValues v;
    v.line = row.line;
    const Field& reader = row.fields[columns.reader];
    const Field& modality = row.fields[columns.modality];
    const Field& case_name = row.fields[columns.case_name];
    v.reader = reader.text;
    v.modality = modality.text;
    v.case_name = case_name.text;
    v.name_line[0] = reader.line;
    v.name_line[1] = modality.line;
    v.name_line[2] = case_name.line;
    if (Expected<void> names = check_names(v, places); !names)
        return names.error();
    const Field& truth = row.fields[columns.truth];
    Expected<int> t = parse_truth(truth.text);
    if (!t)
        return places.at(truth.line, t.error().message);
    v.truth = *t;
    const Field& rating = row.fields[columns.rating];
    Expected<double> r = parse_rating(rating.text);
    if (!r)
        return places.at(rating.line, r.error().message);
    v.rating = *r;
    if (columns.localized >= 0) {
        const Field& localized = row.fields[columns.localized];
        Expected<Localization> l = parse_localized(localized.text);
        if (!l)
            return places.at(localized.line, l.error().message);
        v.localization = *l;
        v.localized_text = localized.text;
        v.localized_line = localized.line;
    }
    return v;
}

// The whole file's bytes, or the system's reason why they cannot be read.
Expected<std::string> read_bytes(const std::filesystem::path& path)
{
    const std::string name = path.string();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                         &std::fclose);
    if (!file)
        return input_error(name + ": cannot read the file: " + std::strerror(errno));
    std::string bytes;
    char buffer[read_chunk];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(file.get()))
        return input_error(name + ": cannot read the file: " + std::strerror(errno));
    return bytes;
}

}  // namespace

// The byte-order mark skipped, the text checked as UTF-8, the separator taken
// from the header, then split into records: the header and one reading per
// row.
Expected<CaseStudy> parse_cases(std::string_view text, const std::string& source)
{
    if (text.substr(0, byte_order_mark.size()) == byte_order_mark)
        text.remove_prefix(byte_order_mark.size());
    if (const std::size_t bad = invalid_utf8_offset(text); bad != std::string_view::npos)
        return error_at(source, line_of_offset(text, bad),
                        "the text is not UTF-8; save the file as UTF-8");

    const char separator = detect_separator(text);
    Expected<std::vector<Record>> records = split_records(text, separator, source);
    if (!records)
        return records.error();
    if (records->empty())
        return input_error(source + ": the file is empty; " + columns_help +
                           ", then one row per rating");
    const Record& header = records->front();
    Expected<Columns> columns = find_columns(header, separator, source);
    if (!columns)
        return columns.error();
    if (records->size() == 1)
        return error_at(source, header.line, "no ratings follow the header row");

    const Places places{source, false};
    StudyBuilder builder(places, columns->localized >= 0);
    for (std::size_t i = 1; i < records->size(); ++i) {
        Expected<RowValues> row = csv_row((*records)[i], *columns, separator, places);
        if (!row)
            return row.error();
        if (Expected<void> added = builder.add_row(*row); !added)
            return added.error();
    }
    return builder.take();
}

// The file's bytes through parse_cases, named as given.
Expected<CaseStudy> read_cases(const std::filesystem::path& path)
{
    Expected<std::string> bytes = read_bytes(path);
    if (!bytes)
        return bytes.error();
    return parse_cases(*bytes, path.string());
}

std::string place_of(const CaseStudy& study, int line)
{
    if (line <= 0)
        return "in memory";
    return (study.numbered_by_row ? "row " : "line ") + std::to_string(line);
}

std::size_t Column::size() const
{
    return std::visit([](const auto& v) { return v.size(); }, values);
}

namespace {

// One value of a column in memory.
struct Cell {
    enum class Kind { missing, text, number, boolean } kind = Kind::missing;
    std::string_view text;
    double number = 0.0;
    bool boolean = false;
};

Cell cell_of(const Column& column, std::size_t i)
{
    Cell c;
    if (!column.missing.empty() && column.missing[i])
        return c;
    if (const auto* texts = std::get_if<std::vector<std::string>>(&column.values)) {
        c.kind = Cell::Kind::text;
        c.text = (*texts)[i];
    } else if (const auto* numbers = std::get_if<std::vector<double>>(&column.values)) {
        c.kind = std::isnan((*numbers)[i]) ? Cell::Kind::missing : Cell::Kind::number;
        c.number = (*numbers)[i];
    } else {
        c.kind = Cell::Kind::boolean;
        c.boolean = std::get<std::vector<bool>>(column.values)[i];
    }
    return c;
}

// truth: a missing value is an empty field; a number must be a whole 0 to 15.
Expected<int> truth_of(const Cell& c)
{
    switch (c.kind) {
    case Cell::Kind::missing:
        return parse_truth("");
    case Cell::Kind::text:
        return parse_truth(c.text);
    case Cell::Kind::boolean:
        return c.boolean ? 1 : 0;
    case Cell::Kind::number:
        break;
    }
    if (!(c.number >= 0.0 && c.number <= max_targets && c.number == std::floor(c.number)))
        return input_error(truth_fault(exact_number(c.number)));
    return static_cast<int>(c.number);
}

// rating: a missing value is an empty field; a number must be finite.
Expected<double> rating_of(const Cell& c)
{
    switch (c.kind) {
    case Cell::Kind::missing:
        return parse_rating("");
    case Cell::Kind::text:
        return parse_rating(c.text);
    case Cell::Kind::boolean:
        return c.boolean ? 1.0 : 0.0;
    case Cell::Kind::number:
        break;
    }
    if (!std::isfinite(c.number))
        return input_error(rating_fault(exact_number(c.number), true));
    return c.number + 0.0;
}

// localized: missing is not recorded; numbers 1 and 0; true and false.
Expected<Localization> localization_of(const Cell& c, std::string& shown)
{
    switch (c.kind) {
    case Cell::Kind::missing:
        shown.clear();
        return Localization::unknown;
    case Cell::Kind::text:
        shown = c.text;
        return parse_localized(c.text);
    case Cell::Kind::boolean:
        shown = c.boolean ? "true" : "false";
        return c.boolean ? Localization::correct : Localization::incorrect;
    case Cell::Kind::number:
        break;
    }
    shown = exact_number(c.number);
    if (c.number == 1.0)
        return Localization::correct;
    if (c.number == 0.0)
        return Localization::incorrect;
    return input_error(localized_fault(shown));
}

// Every column with one value per row, and missing flags one per value.
Expected<std::size_t> column_rows(const CaseColumns& columns, const std::string& source)
{
    const std::size_t rows = columns.reader.size();
    const std::pair<const char*, std::size_t> sizes[] = {
        {"modality", columns.modality.size()},
        {"case", columns.case_name.size()},
        {"truth", columns.truth.size()},
        {"rating", columns.rating.size()},
        {"localized", columns.localized ? columns.localized->size() : rows},
    };
    for (const auto& [name, size] : sizes)
        if (size != rows)
            return input_error(source + ": the column " + in_quotes(name) + " has " +
                               std::to_string(size) + " values but the column \"reader\" has " +
                               std::to_string(rows) + "; every column needs one value per row");
    const std::pair<const char*, const Column*> flagged[] = {
        {"truth", &columns.truth}, {"rating", &columns.rating}, {"localized", nullptr}};
    for (auto [name, column] : flagged) {
        if (column == nullptr)
            column = columns.localized ? &*columns.localized : nullptr;
        if (column && !column->missing.empty() && column->missing.size() != rows)
            return input_error(source + ": the column " + in_quotes(name) + " has " +
                               std::to_string(column->missing.size()) +
                               " missing-value flags for " + std::to_string(rows) +
                               " values; give one flag per value or none");
    }
    if (rows == 0)
        return input_error(source + ": the columns hold no rows; give one row per rating");
    return rows;
}

// The values of data row `row` (1-based) in the order the CSV reader checks
// a record's fields: names, truth, rating, localized.
Expected<RowValues> column_row(const CaseColumns& columns, std::size_t i, const Places& places)
{
    RowValues v;
    v.line = static_cast<int>(i) + 1;
    v.reader = columns.reader[i];
    v.modality = columns.modality[i];
    v.case_name = columns.case_name[i];
    v.name_line[0] = v.name_line[1] = v.name_line[2] = v.localized_line = v.line;
    if (Expected<void> names = check_names(v, places); !names)
        return names.error();
    const std::pair<const char*, std::string_view> names[] = {
        {"reader", v.reader}, {"modality", v.modality}, {"case", v.case_name}};
    for (const auto& [what, name] : names)
        if (invalid_utf8_offset(name) != std::string_view::npos)
            return places.at(v.line, std::string("the ") + what +
                                         " name is not UTF-8 text; give names as UTF-8");
    Expected<int> truth = truth_of(cell_of(columns.truth, i));
    if (!truth)
        return places.at(v.line, truth.error().message);
    v.truth = *truth;
    Expected<double> rating = rating_of(cell_of(columns.rating, i));
    if (!rating)
        return places.at(v.line, rating.error().message);
    v.rating = *rating;
    if (columns.localized) {
        Expected<Localization> l =
            localization_of(cell_of(*columns.localized, i), v.localized_text);
        if (!l)
            return places.at(v.line, l.error().message);
        v.localization = *l;
    }
    return v;
}

}  // namespace

// The sizes checked, then row by row as the CSV reader takes records.
Expected<CaseStudy> make_cases(const CaseColumns& columns, const std::string& source)
{
    Expected<std::size_t> rows = column_rows(columns, source);
    if (!rows)
        return rows.error();
    const Places places{source, true};
    StudyBuilder builder(places, columns.localized.has_value());
    for (std::size_t i = 0; i < *rows; ++i) {
        Expected<RowValues> row = column_row(columns, i, places);
        if (!row)
            return row.error();
        if (Expected<void> added = builder.add_row(*row); !added)
            return added.error();
    }
    return builder.take();
}

}  // namespace varnel::study
