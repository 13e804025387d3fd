// Rating data file reader: keyword header and one count table per
// distribution, checked line by line; any fault ends the program.
#include "input/getlroc.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/lroc_main.h"
#include "model/lroc_common.h"

namespace {

constexpr int line_len = 99;       // characters read at a time, line end included
constexpr int label_len = 16;      // category label: columns 2 to 17
constexpr int count_column = 18;   // counts begin here
constexpr int max_ntardist = max_dist - 1;

FILE* input_ = nullptr;            // the data file while it is read
char line_[line_len + 1];          // the current line

// Ends the program on a fault of the file's content.
[[noreturn]] void input_error(int number)
{
    std::printf("Input file has errors (%d)", number);
    std::exit(1);
}

// The next non-empty line (a line beginning with a line feed or carriage
// return is skipped); a file that ends here is a read fault.
char* get_line()
{
    for (;;) {
        errno = 0;
        if (std::fgets(line_, sizeof line_, input_) == nullptr) {
            // A file that simply ends has no system error to report; say so
            // rather than print the system's text for "no error".
            if (errno == 0 && std::feof(input_))
                std::fputs("Error reading input file: unexpected end of file\n", stderr);
            else
                std::perror("Error reading input file");
            std::exit(1);
        }
        if (line_[0] != '\n' && line_[0] != '\r')
            return line_;
    }
}

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
char* get_ptr(const char* keyword)
{
    char* p = get_line();
    while (*p == ':')
        ++p;
    if (*p == '\0' || std::strcmp(p, "\n") == 0 || std::strcmp(p, "\r\n") == 0)
        input_error(1);  // nothing but colons before the line end
    char* key = p;
    while (*p != '\0' && *p != ':')
        ++p;
    if (*p == '\0' || p[1] == '\0' || p[1] == '\n')
        input_error(2);
    *p = '\0';
    char* value = p + 1;
    char* end = std::strchr(value, '\n');
    if (end != nullptr)
        *end = '\0';
    strip_blanks(key);
    return same_keyword(key, keyword) ? value : nullptr;
}

// Copies the first n characters of source into a field of length characters,
// cut at the length, filled with blanks from position n on.
void set_string(const char* source, char* field, int n, int length)
{
    for (int i = 0; i < length; ++i)
        field[i] = i < n ? source[i] : ' ';
}

// A keyword line with a text value, stored blank-padded into field.  A
// carriage return ending the value belongs to the line end, not the value.
void get_sval(const char* keyword, char* field, int length, int error)
{
    char* value = get_ptr(keyword);
    if (value == nullptr)
        input_error(error);
    int n = static_cast<int>(std::strlen(value));
    if (n > 0 && value[n - 1] == '\r')
        --n;
    set_string(value, field, n, length);
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
int get_ival(const char* keyword, int& target)
{
    char* value = get_ptr(keyword);
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
void get_row(int i, int m, label_table& rating, itable& freqnon, itable& freq,
             long long& total)
{
    const char* row = get_line();
    int len = static_cast<int>(std::strcspn(row, "\r\n"));
    if (len < count_column)
        input_error(8);
    set_string(row + 1, rating[i - 1], label_len, label_len);
    long long first = 0, second = 0;
    const char* end = nullptr;
    if (scan_int(row + count_column - 1, first, end) != in_range || first < 0)
        input_error(8);
    scan_result r = scan_int(end, second, end);
    if (r == no_integer) {
        if (i > globals_.noloc + 1)
            input_error(8);
        second = first;
        first = 0;
    } else if (r == out_of_range || second < 0 || first + second > INT_MAX) {
        input_error(8);
    }
    total += first + second;
    if (total > INT_MAX)
        input_error(8);
    freqnon(i, m) = static_cast<int>(first);
    freq(i, m) = static_cast<int>(second);
}

}  // namespace

// Reads the rating data file: identifiers, NDIST, NCAT, NOLOC and the count
// tables of the non-target and the target distributions.
int getlroc_(const char* inputfile, id_field& obsvr, id_field& cond, id_field& inum,
             label_table& rating, itable& freqnon, itable& freq, int& ntardist)
{
    constexpr int id_len = 64;
    open_input_file(inputfile, &input_);
    for (int& v : freqnon.v)
        v = 0;
    for (int& v : freq.v)
        v = 0;

    char* header = get_line();
    while (*header == ' ')
        ++header;
    static const char magic[] = "LROCDATA";
    for (int k = 0; magic[k] != '\0'; ++k) {
        char c = header[k];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != magic[k])
            input_error(1);
    }

    get_sval("OBSERVER", obsvr, id_len, 2);
    get_sval("CONDITION", cond, id_len, 3);
    get_sval("REPLICATION", inum, id_len, 4);
    ntardist = 0;
    int r = get_ival("NDIST", ntardist);
    if (r < 0)
        input_error(5);
    if (r > 0 || ntardist < 0 || ntardist > max_ntardist)
        input_error(9);
    globals_.ncat = 0;
    r = get_ival("NCAT", globals_.ncat);
    if (r < 0)
        input_error(6);
    if (r > 0 || globals_.ncat < 1 || globals_.ncat > max_cat)
        input_error(10);
    // Without a NOLOC line, that line was the first table's heading.
    globals_.noloc = 0;
    r = get_ival("NOLOC", globals_.noloc);
    bool heading_read = r < 0;
    if (r > 0 || globals_.noloc < 0 || globals_.noloc > globals_.ncat)
        input_error(7);

    for (int m = 1; m <= ntardist + 1; ++m) {
        if (!(m == 1 && heading_read))
            get_line();
        long long total = 0;
        for (int i = 1; i <= globals_.ncat; ++i)
            get_row(i, m, rating, freqnon, freq, total);
    }
    std::fclose(input_);
    input_ = nullptr;
    return 0;
}
