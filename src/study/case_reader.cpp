// Per-case ratings CSV: a small exact RFC 4180 scanner, then the columns the
// header names and the checks of each row.
#include "study/case_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
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
    "the header needs the columns reader, modality, case, truth and rating (lowercase names) "
    "and optionally localized";
constexpr std::size_t read_chunk = 1 << 16;

struct Field {
    std::string text;
    int line = 0;  // line where the field begins
    bool quoted = false;
};

struct Record {
    std::vector<Field> fields;
    int line = 0;  // line where the record begins
};

// Position in the text being scanned, with its line number.
struct Cursor {
    std::string_view text;
    std::size_t pos = 0;
    int line = 1;

    bool at_end() const { return pos >= text.size(); }
    char peek() const { return text[pos]; }
};

// "source:line: what".
Error error_at(const std::string& source, int line, const std::string& what)
{
    return Error{source + ":" + std::to_string(line) + ": " + what};
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

// Blanks around fields are spaces and tabs; a field ends at a comma or line end.
bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool ends_field(char c) { return c == ',' || c == '\n' || c == '\r'; }

// Moves past spaces and tabs.
void skip_blanks(Cursor& in)
{
    while (!in.at_end() && is_blank(in.peek()))
        ++in.pos;
}

// A quoted field from its opening quote through its closing quote; a quote
// written twice stands for one, line breaks are part of the field.
Result<std::string> scan_quoted(Cursor& in, const std::string& source)
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

// An unquoted field up to the next comma or line end, trailing blanks dropped.
Result<std::string> scan_plain(Cursor& in, const std::string& source)
{
    const std::size_t start = in.pos;
    while (!in.at_end() && !ends_field(in.peek())) {
        if (in.peek() == '"')
            return error_at(source, in.line,
                            "a quote inside a field that does not begin with one; put the field "
                            "in quotes and write the quote twice (\"\")");
        ++in.pos;
    }
    std::string_view field = in.text.substr(start, in.pos - start);
    while (!field.empty() && is_blank(field.back()))
        field.remove_suffix(1);
    return std::string(field);
}

// One field, with the blanks around it skipped.
Result<Field> scan_field(Cursor& in, const std::string& source)
{
    skip_blanks(in);
    Field field;
    field.line = in.line;
    field.quoted = !in.at_end() && in.peek() == '"';
    Result<std::string> text = field.quoted ? scan_quoted(in, source) : scan_plain(in, source);
    if (!text)
        return Error{text.error()};
    if (field.quoted) {
        skip_blanks(in);
        if (!in.at_end() && !ends_field(in.peek()))
            return error_at(source, in.line,
                            "text after the closing quote of a field; a quote inside a quoted "
                            "field is written twice (\"\")");
    }
    field.text = std::move(*text);
    return field;
}

// The fields of one record and the line end after it (LF, CRLF or the end of
// the text).
Result<Record> scan_record(Cursor& in, const std::string& source)
{
    Record record;
    record.line = in.line;
    for (;;) {
        Result<Field> field = scan_field(in, source);
        if (!field)
            return Error{field.error()};
        record.fields.push_back(std::move(*field));
        if (in.at_end())
            return record;
        const char c = in.text[in.pos++];
        if (c == ',')
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

// A line that is empty or holds only blanks.
bool is_blank_record(const Record& r)
{
    return r.fields.size() == 1 && !r.fields[0].quoted && r.fields[0].text.empty();
}

// All records of the text, blank lines left out.
Result<std::vector<Record>> split_records(std::string_view text, const std::string& source)
{
    std::vector<Record> records;
    Cursor in{text};
    while (!in.at_end()) {
        Result<Record> record = scan_record(in, source);
        if (!record)
            return Error{record.error()};
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

// The header's columns by exact name; the required ones present, none twice.
Result<Columns> find_columns(const Record& header, const std::string& source)
{
    struct Named {
        const char* name;
        int Columns::*field;
        bool required;
    };
    static constexpr Named named[] = {
        {"reader", &Columns::reader, true},  {"modality", &Columns::modality, true},
        {"case", &Columns::case_name, true}, {"truth", &Columns::truth, true},
        {"rating", &Columns::rating, true},  {"localized", &Columns::localized, false},
    };
    Columns columns;
    columns.count = header.fields.size();
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        for (const Named& n : named) {
            if (header.fields[i].text != n.name)
                continue;
            if (columns.*n.field >= 0)
                return error_at(source, header.line,
                                "the column " + in_quotes(n.name) + " appears twice in the header");
            columns.*n.field = static_cast<int>(i);
        }
    }
    for (const Named& n : named)
        if (n.required && columns.*n.field < 0)
            return error_at(source, header.line,
                            "no " + in_quotes(n.name) + " column; " + columns_help);
    return columns;
}

// truth: digits only, 0 to 15.
Result<int> parse_truth(const Field& f, const std::string& source)
{
    const bool digits = !f.text.empty() && f.text.size() <= 3 &&
                        f.text.find_first_not_of("0123456789") == std::string::npos;
    const int value = digits ? std::stoi(f.text) : -1;
    if (value < 0 || value > max_targets)
        return error_at(source, f.line,
                        "truth " + in_quotes(f.text) +
                            " is not 0 (no target) or a target class from 1 to " +
                            std::to_string(max_targets));
    return value;
}

// rating: a finite number.
Result<double> parse_rating(const Field& f, const std::string& source)
{
    const std::optional<double> value = parse_number(f.text);
    if (!value)
        return error_at(source, f.line, "rating " + in_quotes(f.text) + " is not a number");
    if (!std::isfinite(*value))
        return error_at(source, f.line, "rating " + in_quotes(f.text) + " is not a finite number");
    return *value + 0.0;  // -0 becomes 0, one value for ties
}

// localized: 1, 0 or empty.
Result<Localization> parse_localized(const Field& f, const std::string& source)
{
    if (f.text.empty())
        return Localization::unknown;
    if (f.text == "1")
        return Localization::correct;
    if (f.text == "0")
        return Localization::incorrect;
    return error_at(source, f.line,
                    "localized " + in_quotes(f.text) +
                        " is not 1 (correct), 0 (incorrect) or empty (not recorded)");
}

// Builds the study row by row: names indexed in order of first appearance,
// each case's truth and each (reader, modality, case) remembered with the
// line that gave it.
class StudyBuilder {
public:
    StudyBuilder(const std::string& source, const Columns& columns, bool has_localization)
        : source_(source), columns_(columns)
    {
        study_.source = source;
        study_.has_localization = has_localization;
    }

    Result<void> add_row(const Record& row);
    CaseStudy take() { return std::move(study_); }

private:
    static int index_of(const std::string& name, std::vector<std::string>& names,
                        std::unordered_map<std::string, int>& index);
    Result<void> check_names(const Record& row) const;
    Result<int> add_case(const std::string& name, int truth, int line);

    const std::string& source_;
    Columns columns_;
    CaseStudy study_;
    std::unordered_map<std::string, int> readers_, modalities_, cases_;
    std::vector<int> case_line_;  // first line of each case
    std::map<std::tuple<int, int, int>, int> reading_line_;
};

int StudyBuilder::index_of(const std::string& name, std::vector<std::string>& names,
                           std::unordered_map<std::string, int>& index)
{
    const auto [it, added] = index.try_emplace(name, static_cast<int>(names.size()));
    if (added)
        names.push_back(name);
    return it->second;
}

// Reader, modality and case names are not empty.
Result<void> StudyBuilder::check_names(const Record& row) const
{
    const std::pair<const char*, int> names[] = {
        {"reader", columns_.reader}, {"modality", columns_.modality}, {"case", columns_.case_name}};
    for (const auto& [what, column] : names) {
        const Field& f = row.fields[column];
        if (f.text.empty())
            return error_at(source_, f.line,
                            std::string("empty ") + what +
                                " name; every row needs a reader, a modality and a case");
    }
    return {};
}

// The index of a case, added at its first row; a later row must repeat its truth.
Result<int> StudyBuilder::add_case(const std::string& name, int truth, int line)
{
    const int c = index_of(name, study_.cases, cases_);
    if (c == static_cast<int>(study_.truth.size())) {
        study_.truth.push_back(truth);
        case_line_.push_back(line);
    } else if (study_.truth[c] != truth) {
        return error_at(source_, line,
                        "case " + in_quotes(name) + " has truth " + std::to_string(truth) +
                            " here but truth " + std::to_string(study_.truth[c]) + " on line " +
                            std::to_string(case_line_[c]) +
                            "; a case has one truth in all its rows");
    }
    return c;
}

// Checks one row and adds its reading.
Result<void> StudyBuilder::add_row(const Record& row)
{
    if (row.fields.size() != columns_.count)
        return error_at(source_, row.line,
                        std::to_string(row.fields.size()) + " fields, but the header has " +
                            std::to_string(columns_.count) +
                            "; put a field that contains a comma in quotes");
    if (Result<void> names = check_names(row); !names)
        return names;
    Result<int> truth = parse_truth(row.fields[columns_.truth], source_);
    if (!truth)
        return Error{truth.error()};
    Result<double> rating = parse_rating(row.fields[columns_.rating], source_);
    if (!rating)
        return Error{rating.error()};
    Result<Localization> localization = Localization::unknown;
    if (columns_.localized >= 0)
        localization = parse_localized(row.fields[columns_.localized], source_);
    if (!localization)
        return Error{localization.error()};

    const std::string& case_name = row.fields[columns_.case_name].text;
    if (*truth == 0 && *localization != Localization::unknown)
        return error_at(
            source_, row.fields[columns_.localized].line,
            "localized is " + in_quotes(row.fields[columns_.localized].text) + " but case " +
                in_quotes(case_name) +
                " has no target (truth 0); leave localized empty for a case without a target");
    Result<int> case_index = add_case(case_name, *truth, row.line);
    if (!case_index)
        return Error{case_index.error()};

    Reading r;
    r.reader = index_of(row.fields[columns_.reader].text, study_.readers, readers_);
    r.modality = index_of(row.fields[columns_.modality].text, study_.modalities, modalities_);
    r.case_index = *case_index;
    r.rating = *rating;
    r.localization = *localization;
    r.line = row.line;
    const auto [it, added] =
        reading_line_.try_emplace(std::make_tuple(r.reader, r.modality, r.case_index), row.line);
    if (!added)
        return error_at(source_, row.line,
                        "reader " + in_quotes(study_.readers[r.reader]) + ", modality " +
                            in_quotes(study_.modalities[r.modality]) + ", case " +
                            in_quotes(case_name) + " is rated a second time (first on line " +
                            std::to_string(it->second) +
                            "); give one row per reader, modality and case");
    study_.readings.push_back(r);
    return {};
}

// The whole file's bytes, or the system's reason why they cannot be read.
Result<std::string> read_bytes(const std::filesystem::path& path)
{
    const std::string name = path.string();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                         &std::fclose);
    if (!file)
        return Error{name + ": cannot read the file: " + std::strerror(errno)};
    std::string bytes;
    char buffer[read_chunk];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(file.get()))
        return Error{name + ": cannot read the file: " + std::strerror(errno)};
    return bytes;
}

}  // namespace

// The byte-order mark skipped, the text checked as UTF-8, then split into
// records: the header and one reading per row.
Result<CaseStudy> parse_cases(std::string_view text, const std::string& source)
{
    if (text.substr(0, byte_order_mark.size()) == byte_order_mark)
        text.remove_prefix(byte_order_mark.size());
    if (const std::size_t bad = invalid_utf8_offset(text); bad != std::string_view::npos)
        return error_at(source, line_of_offset(text, bad),
                        "the text is not UTF-8; save the file as UTF-8");

    Result<std::vector<Record>> records = split_records(text, source);
    if (!records)
        return Error{records.error()};
    if (records->empty())
        return Error{source + ": the file is empty; " + columns_help + ", then one row per rating"};
    const Record& header = records->front();
    Result<Columns> columns = find_columns(header, source);
    if (!columns)
        return Error{columns.error()};
    if (records->size() == 1)
        return error_at(source, header.line, "no ratings follow the header row");

    StudyBuilder builder(source, *columns, columns->localized >= 0);
    for (std::size_t i = 1; i < records->size(); ++i)
        if (Result<void> added = builder.add_row((*records)[i]); !added)
            return Error{added.error()};
    return builder.take();
}

// The file's bytes through parse_cases, named as given.
Result<CaseStudy> read_cases(const std::filesystem::path& path)
{
    Result<std::string> bytes = read_bytes(path);
    if (!bytes)
        return Error{bytes.error()};
    return parse_cases(*bytes, path.string());
}

}  // namespace varnel::study
