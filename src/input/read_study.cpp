// Rating data file reader: keyword header and one count table per
// distribution, checked line by line.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "varnel/study.h"

namespace varnel {

namespace {

constexpr int line_len = 99;       // characters read at a time, line end included
constexpr int label_len = 16;      // category label: columns 2 to 17
constexpr int count_column = 18;   // counts begin here
constexpr int id_len = 64;         // identifiers keep this many characters

// A fault that ends the reading.
struct ReadFault {
    Error error;
};

[[noreturn]] void data_error(int number)
{
    throw ReadFault{{ErrorKind::bad_data, number,
                     "Input file has errors (" + std::to_string(number) + ")"}};
}

// The reading of one file: the stream and the current line.
class Reader {
public:
    explicit Reader(std::FILE* input) : input_(input) {}

    // The next non-empty line (a line beginning with a line feed or carriage
    // return is skipped); a file that ends here is a read fault.
    char* get_line()
    {
        for (;;) {
            errno = 0;
            if (std::fgets(line_, sizeof line_, input_) == nullptr) {
                // A file that simply ends has no system error to report; say
                // so rather than give the system's text for "no error".
                if (errno == 0 && std::feof(input_))
                    throw ReadFault{{ErrorKind::read_failed, 0,
                                     "Error reading input file: unexpected end of file"}};
                throw ReadFault{{ErrorKind::read_failed, 0,
                                 std::string("Error reading input file: ") + std::strerror(errno)}};
            }
            if (line_[0] != '\n' && line_[0] != '\r')
                return line_;
        }
    }

private:
    std::FILE* input_;
    char line_[line_len + 1];
};

// Removes leading and trailing blanks (character 32 only) in place.
void strip_blanks(char* s)
{
    int n = static_cast<int>(std::strlen(s));
    while (n > 0 && s[n - 1] == ' ')
        --n;
    s[n] = '\0';
    int lead = 0;
    while (s[lead] == ' ')
        ++lead;
    std::memmove(s, s + lead, n - lead + 1);
}

bool same_keyword(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char ca = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 'a' + 'A') : *a;
        char cb = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

// Reads the next line as a keyword line "keyword: value".  Returns the value
// (up to, not including, the line feed) when the keyword part matches, else
// null; the line is used up either way.
char* keyword_value(Reader& in, const char* keyword)
{
    char* p = in.get_line();
    while (*p == ':')
        ++p;
    if (*p == '\0' || std::strcmp(p, "\n") == 0 || std::strcmp(p, "\r\n") == 0)
        data_error(1);  // nothing but colons before the line end
    char* key = p;
    while (*p != '\0' && *p != ':')
        ++p;
    if (*p == '\0' || p[1] == '\0' || p[1] == '\n')
        data_error(2);
    *p = '\0';
    char* value = p + 1;
    char* end = std::strchr(value, '\n');
    if (end != nullptr)
        *end = '\0';
    strip_blanks(key);
    return same_keyword(key, keyword) ? value : nullptr;
}

// A keyword line with a text value, cut at id_len characters.  A carriage
// return ending the value belongs to the line end, not the value.
std::string text_value(Reader& in, const char* keyword, int error)
{
    char* value = keyword_value(in, keyword);
    if (value == nullptr)
        data_error(error);
    int n = static_cast<int>(std::strlen(value));
    if (n > 0 && value[n - 1] == '\r')
        --n;
    return std::string(value, n < id_len ? n : id_len);
}

enum scan_result { no_integer, in_range, out_of_range };

// Scans an integer at p (white space first allowed); end is set after it.
scan_result scan_int(const char* p, long long& value, const char*& end)
{
    constexpr long long limit = 1LL << 40;  // far beyond 32 bits, no overflow
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f')
        ++p;
    bool negative = *p == '-';
    const char* q = (*p == '-' || *p == '+') ? p + 1 : p;
    if (*q < '0' || *q > '9') {
        end = p;
        return no_integer;
    }
    long long v = 0;
    for (; *q >= '0' && *q <= '9'; ++q)
        if (v < limit)
            v = v * 10 + (*q - '0');
    end = q;
    value = negative ? -v : v;
    return (value < INT_MIN || value > INT_MAX) ? out_of_range : in_range;
}

// A keyword line with an integer value.  The target keeps its value when the
// value does not begin with an integer.  Returns -1 on a keyword mismatch,
// 1 when the integer does not fit 32 bits, else 0.
int integer_value(Reader& in, const char* keyword, int& target)
{
    char* value = keyword_value(in, keyword);
    if (value == nullptr)
        return -1;
    long long v = 0;
    const char* end = nullptr;
    scan_result r = scan_int(value, v, end);
    if (r == out_of_range)
        return 1;
    if (r == in_range)
        target = static_cast<int>(v);
    return 0;
}

// One table row of category i, distribution m: label and counts.  A single
// count is the category's total, allowed in the first noloc + 1 rows.
void table_row(Reader& in, int i, int m, Study& s, long long& total)
{
    const char* row = in.get_line();
    int len = static_cast<int>(std::strcspn(row, "\r\n"));
    if (len < count_column)
        data_error(8);
    s.labels[i - 1].assign(row + 1, label_len);
    long long first = 0, second = 0;
    const char* end = nullptr;
    if (scan_int(row + count_column - 1, first, end) != in_range || first < 0)
        data_error(8);
    scan_result r = scan_int(end, second, end);
    if (r == no_integer) {
        if (i > s.noloc + 1)
            data_error(8);
        second = first;
        first = 0;
    } else if (r == out_of_range || second < 0 || first + second > INT_MAX) {
        data_error(8);
    }
    total += first + second;
    if (total > INT_MAX)
        data_error(8);
    s.incorrect(i, m) = static_cast<int>(first);
    s.correct(i, m) = static_cast<int>(second);
}

// Identifiers, NDIST, NCAT, NOLOC and the count tables of the non-target and
// the target distributions.
Study read_all(Reader& in)
{
    Study s;
    char* header = in.get_line();
    while (*header == ' ')
        ++header;
    static const char magic[] = "LROCDATA";
    for (int k = 0; magic[k] != '\0'; ++k) {
        char c = header[k];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != magic[k])
            data_error(1);
    }

    s.observer = text_value(in, "OBSERVER", 2);
    s.condition = text_value(in, "CONDITION", 3);
    s.replication = text_value(in, "REPLICATION", 4);
    int r = integer_value(in, "NDIST", s.targets);
    if (r < 0)
        data_error(5);
    if (r > 0 || s.targets < 0 || s.targets > max_targets)
        data_error(9);
    r = integer_value(in, "NCAT", s.categories);
    if (r < 0)
        data_error(6);
    if (r > 0 || s.categories < 1 || s.categories > max_categories)
        data_error(10);
    // Without a NOLOC line, that line was the first table's heading.
    r = integer_value(in, "NOLOC", s.noloc);
    bool heading_read = r < 0;
    if (r > 0 || s.noloc < 0 || s.noloc > s.categories)
        data_error(7);

    for (int m = 1; m <= s.targets + 1; ++m) {
        if (!(m == 1 && heading_read))
            in.get_line();
        long long total = 0;
        for (int i = 1; i <= s.categories; ++i)
            table_row(in, i, m, s, total);
    }
    return s;
}

}  // namespace

Expected<Study> read_study(std::FILE* file)
{
    Reader in(file);
    try {
        return read_all(in);
    } catch (const ReadFault& fault) {
        return fault.error;
    }
}

Expected<Study> read_study_text(std::string_view text)
{
    // An empty text is read from a one-byte stream positioned at its end.
    std::string bytes(text.empty() ? std::string_view("\n") : text);
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "r");
    if (file == nullptr)
        return Error{ErrorKind::read_failed, 0,
                     std::string("Error reading input file: ") + std::strerror(errno)};
    if (text.empty())
        std::fgetc(file);
    Expected<Study> study = read_study(file);
    std::fclose(file);
    return study;
}

Expected<Study> read_study(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return Error{ErrorKind::open_failed, 0,
                     std::string("Error opening input file: ") + std::strerror(errno)};
    Expected<Study> study = read_study(file);
    std::fclose(file);
    return study;
}

}  // namespace varnel
