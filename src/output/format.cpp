// Format-string interpreter and the field rules of the report layout.
#include "varnel/format.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace varnel::output {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Reads the characters of a format one by one, skipping blanks (blanks are
// insignificant outside literals).
struct Cursor {
    const char* s;
    int p;
    char peek()
    {
        while (is_blank(s[p]))
            ++p;
        return s[p];
    }
    // An unsigned decimal number (blanks between digits allowed).
    bool number(int& v)
    {
        constexpr int largest = 1000000;
        if (!is_digit(peek()))
            return false;
        v = 0;
        while (is_digit(peek())) {
            if (v < largest)
                v = v * 10 + (s[p] - '0');
            ++p;
        }
        return true;
    }
};

void fill(char* out, int w, char c)
{
    for (int k = 0; k < w; ++k)
        out[k] = c;
}

// Right-justifies text of n characters (n <= w) in w columns.
void right(char* out, int w, const char* t, int n)
{
    fill(out, w - n, ' ');
    std::memcpy(out + (w - n), t, static_cast<size_t>(n));
}

// The host's text for a value that is not a number or is infinite; false for
// finite values.  A not-a-number value never gets a sign.
bool nonfinite_field(char* out, int w, double v)
{
    if (std::isfinite(v))
        return false;
    const char* t = std::isnan(v) ? "nan" : (v < 0 ? "-inf" : "inf");
    int n = static_cast<int>(std::strlen(t));
    if (n <= w)
        right(out, w, t, n);
    else
        fill(out, w, '*');
    return true;
}

void write_raw(Record& rec, const char* s, int n)
{
    if (n <= 0)
        return;
    if (rec.fp) {
        if (std::fwrite(s, 1, static_cast<size_t>(n), rec.fp) != static_cast<size_t>(n)) {
            if (!rec.failed)
                rec.err = errno;
            rec.failed = true;
        }
        return;
    }
    if (rec.str) {
        rec.str->append(s, static_cast<size_t>(n));
        return;
    }
    if (!rec.mem)
        return;
    int room = rec.mem_cap - 1 - rec.mem_len;
    if (n > room) {
        rec.failed = true;
        rec.err = ENOSPC;
        n = room < 0 ? 0 : room;
    }
    std::memcpy(rec.mem + rec.mem_len, s, static_cast<size_t>(n));
    rec.mem_len += n;
    if (rec.mem_cap > 0)
        rec.mem[rec.mem_len] = '\0';
}

// Writes a literal, turning doubled quote characters into one.
void put_literal(Record& rec, const Format& fl, const Descriptor& d)
{
    const char* t = fl.text + d.lit;
    int start = 0;
    for (int k = 0; k < d.len; ++k) {
        if (t[k] == d.delim) {  // first of a doubled quote: write up to and including it
            put_text(rec, t + start, k + 1 - start);
            ++k;
            start = k + 1;
        }
    }
    if (d.len > start)
        put_text(rec, t + start, d.len - start);
}

// Writes one value with one data descriptor.
int put_field(Record& rec, const Descriptor& d, const Value& v, const char** why)
{
    char field[max_field_width];
    int w = d.w;
    if (d.code == 'A') {
        if (v.kind != Value::text) {
            *why = "A descriptor given a number";
            return -1;
        }
        int len = v.len < 0 ? 0 : v.len;
        if (w < 0)
            w = len;
        if (w > max_field_width) {
            *why = "text item wider than a field can be";
            return -1;
        }
        text_field(field, w, v.s, len);
    } else if (d.code == 'I') {
        if (v.kind != Value::integer) {
            *why = "I descriptor given a value that is not an integer";
            return -1;
        }
        integer_field(field, w, d.d, v.i);
    } else {
        if (v.kind != Value::real) {
            *why = "F, E or G descriptor given a value that is not a real";
            return -1;
        }
        if (d.code == 'F')
            fixed_field(field, w, d.d, v.r);
        else if (d.code == 'E')
            exponent_field(field, w, d.d, v.r);
        else
            general_field(field, w, d.d, v.r);
    }
    put_text(rec, field, w);
    return 0;
}

}  // namespace

int parse_format(const char* fmt, Format& out, const char** why)
{
    out.n = 0;
    out.revert = 1;
    out.text = fmt;
    Cursor c{fmt, 0};
    int stack[max_group_depth + 1];
    int depth = 0;
    int last_top_group = -1;

    if (c.peek() != '(') {
        *why = "format does not begin with (";
        return -1;
    }
    for (;;) {
        char ch = c.peek();
        if (ch == '\0') {
            *why = "format has no closing parenthesis";
            return -1;
        }
        if (ch == ',' && depth > 0) {
            ++c.p;
            continue;
        }
        if (out.n == max_descriptors) {
            *why = "format has too many edit descriptors";
            return -1;
        }
        Descriptor& d = out.d[out.n];
        d = Descriptor{' ', ' ', 1, 0, -1, 0, 0, -1};
        bool has_rep = c.number(d.rep);
        if (has_rep && d.rep == 0) {
            *why = "repeat count 0";
            return -1;
        }
        ch = lower(c.peek());
        switch (ch) {
        case '(':
            if (depth == max_group_depth) {
                *why = "groups nested too deeply";
                return -1;
            }
            if (depth == 1)
                last_top_group = out.n;
            d.code = '(';
            stack[depth++] = out.n;
            ++c.p;
            break;
        case ')':
            if (has_rep) {
                *why = "number before )";
                return -1;
            }
            d.code = ')';
            d.match = stack[--depth];
            out.d[d.match].match = out.n;
            ++c.p;
            break;
        case '\'':
        case '"': {
            if (has_rep) {
                *why = "number before a literal";
                return -1;
            }
            d.code = 'L';
            d.delim = ch;
            int p = c.p + 1;
            d.lit = p;
            for (;;) {
                if (fmt[p] == '\0') {
                    *why = "literal without its closing quote";
                    return -1;
                }
                if (fmt[p] == ch) {
                    if (fmt[p + 1] != ch)
                        break;
                    ++p;
                }
                ++p;
            }
            d.len = p - d.lit;
            c.p = p + 1;
            break;
        }
        case 'x':
            d.code = 'X';
            d.w = d.rep;
            d.rep = 1;
            ++c.p;
            break;
        case 'i':
        case 'f':
        case 'e':
        case 'g':
        case 'a': {
            d.code = static_cast<char>(ch - 'a' + 'A');
            ++c.p;
            bool has_w = c.number(d.w);
            if (!has_w)
                d.w = -1;
            if (!has_w && d.code != 'A') {
                *why = "data descriptor without a width";
                return -1;
            }
            if (has_w && (d.w < 1 || d.w > max_field_width)) {
                *why = "field width out of range";
                return -1;
            }
            if (c.peek() == '.') {
                ++c.p;
                if (d.code == 'A' || !c.number(d.d)) {
                    *why = "faulty decimals after a field width";
                    return -1;
                }
            }
            if (d.code == 'F' || d.code == 'E' || d.code == 'G') {
                if (d.d < 0 || d.d > max_field_width) {
                    *why = "F, E or G descriptor needs its decimals";
                    return -1;
                }
                if (d.code != 'F' && d.d < 1) {
                    *why = "E or G descriptor needs at least one digit";
                    return -1;
                }
            }
            if (d.code == 'I' && d.d > d.w) {
                *why = "more digits than the field width";
                return -1;
            }
            break;
        }
        case '/':
            d.code = '/';
            ++c.p;
            break;
        case '$':
        case ':':
            if (has_rep) {
                *why = "number before $ or :";
                return -1;
            }
            d.code = ch;
            ++c.p;
            break;
        default:
            *why = has_rep ? "number without an edit descriptor" : "unknown edit descriptor";
            return -1;
        }
        ++out.n;
        if (depth == 0)
            break;
    }
    if (last_top_group > 0)
        out.revert = last_top_group;
    return 0;
}

Record file_record(std::FILE* fp)
{
    Record rec;
    rec.fp = fp;
    return rec;
}

Record memory_record(char* mem, int cap)
{
    if (cap > 0)
        mem[0] = '\0';
    Record rec;
    rec.mem = mem;
    rec.mem_cap = cap;
    return rec;
}

Record string_record(std::string& str)
{
    Record rec;
    rec.str = &str;
    return rec;
}

Record discard_record() { return Record{}; }

void put_text(Record& rec, const char* text, int n)
{
    static const char blanks[] = "                                ";
    constexpr int nblanks = static_cast<int>(sizeof blanks) - 1;
    while (rec.pending > 0) {
        int k = rec.pending < nblanks ? rec.pending : nblanks;
        write_raw(rec, blanks, k);
        rec.col += k;
        rec.pending -= k;
    }
    write_raw(rec, text, n);
    rec.col += n;
    rec.open = true;
}

void end_record(Record& rec)
{
    write_raw(rec, "\n", 1);
    rec.col = 0;
    rec.pending = 0;
    rec.open = false;
}

// One write operation.  Values are taken in order by the data descriptors;
// when they are used up the walk stops at the next data descriptor or at the
// closing parenthesis.  Values left at the closing parenthesis start a new
// record and the walk resumes at the last top-level group (or the start).
int write_format(Record& rec, const char* fmt, const Value* vals, int nval,
              const char** why)
{
    Format fl;
    if (parse_format(fmt, fl, why) != 0)
        return -1;
    struct level {
        int open;
        int left;
    } stack[max_group_depth];
    int depth = 0;
    int vi = 0;
    int vi_at_pass = 0;
    bool dollar = false;
    bool done = false;
    int pc = 1;
    const int outer_close = fl.n - 1;
    while (!done) {
        const Descriptor& d = fl.d[pc];
        switch (d.code) {
        case '(':
            stack[depth++] = level{pc, d.rep};
            ++pc;
            break;
        case ')':
            if (pc == outer_close) {
                if (vi >= nval || vi == vi_at_pass) {
                    done = true;
                    break;
                }
                end_record(rec);
                vi_at_pass = vi;
                pc = fl.revert;
                break;
            }
            if (--stack[depth - 1].left > 0) {
                pc = stack[depth - 1].open + 1;
            } else {
                --depth;
                ++pc;
            }
            break;
        case 'L':
            put_literal(rec, fl, d);
            ++pc;
            break;
        case 'X':
            rec.pending += d.w;
            ++pc;
            break;
        case '/':
            for (int k = 0; k < d.rep; ++k)
                end_record(rec);
            ++pc;
            break;
        case '$':
            dollar = true;
            ++pc;
            break;
        case ':':
            if (vi >= nval)
                done = true;
            ++pc;
            break;
        default:
            for (int k = 0; k < d.rep; ++k) {
                if (vi >= nval) {
                    done = true;
                    break;
                }
                if (put_field(rec, d, vals[vi], why) != 0)
                    return -1;
                ++vi;
            }
            ++pc;
            break;
        }
    }
    if (dollar)
        rec.open = true;
    else
        end_record(rec);
    return 0;
}

// Iw(.m): the integer right-justified, "-" before the digits when negative,
// at least m digits; w asterisks when it does not fit.
void integer_field(char* out, int w, int m, int v)
{
    char t[max_field_width + 24];
    long long x = v;
    bool neg = x < 0;
    char digits[24];
    int nd = std::snprintf(digits, sizeof digits, "%lld", neg ? -x : x);
    if (m == 0 && v == 0)
        nd = 0;
    int n = 0;
    if (neg)
        t[n++] = '-';
    for (int k = nd; k < m && n < max_field_width; ++k)
        t[n++] = '0';
    std::memcpy(t + n, digits, static_cast<size_t>(nd));
    n += nd;
    if (n <= w)
        right(out, w, t, n);
    else
        fill(out, w, '*');
}

// Fw.d: the magnitude rounded to d decimals, "-" only when the rounded text is
// not all zeros; the leading 0 of a magnitude below 1 gives way when the field
// is exactly one column short; otherwise asterisks.
void fixed_field(char* out, int w, int d, double v)
{
    if (nonfinite_field(out, w, v))
        return;
    char t[2 * max_field_width + 64];  // the largest double has 309 integer digits
    char* mag = t + 1;
    int n = std::snprintf(mag, sizeof t - 1, "%#.*f", d, std::fabs(v));
    if (n < 0 || n >= static_cast<int>(sizeof t) - 1) {
        fill(out, w, '*');
        return;
    }
    bool zero = true;
    for (int k = 0; k < n; ++k)
        if (is_digit(mag[k]) && mag[k] != '0')
            zero = false;
    bool neg = v < 0 && !zero;
    int len = n + (neg ? 1 : 0);
    if (len <= w) {
        char* s = mag;
        if (neg)
            *--s = '-';
        right(out, w, s, len);
    } else if (len == w + 1 && mag[0] == '0' && mag[1] == '.') {
        int k = 0;
        if (neg)
            out[k++] = '-';
        std::memcpy(out + k, mag + 1, static_cast<size_t>(n - 1));
    } else {
        fill(out, w, '*');
    }
}

// Ew.d: 0.ddd...E+xx with d significant digits; the 0 before the point only
// where there is room; a three-digit exponent drops the letter E.
void exponent_field(char* out, int w, int d, double v)
{
    if (nonfinite_field(out, w, v))
        return;
    if (d < 1 || d > max_field_width) {
        fill(out, w, '*');
        return;
    }
    double mag = std::fabs(v);
    char t[max_field_width + 40];
    int n = std::snprintf(t, sizeof t, "%.*e", d - 1, mag);
    if (n < 0 || n >= static_cast<int>(sizeof t)) {
        fill(out, w, '*');
        return;
    }
    // t is "D.DDDe+XX" (or "De+XX" for one digit): gather the d digits.
    char body[max_field_width + 40];
    int b = 0;
    if (v < 0)
        body[b++] = '-';
    int zero_at = b;
    body[b++] = '0';
    body[b++] = '.';
    int k = 0;
    for (; t[k] != 'e'; ++k)
        if (is_digit(t[k]))
            body[b++] = t[k];
    int ex = (mag == 0) ? 0 : std::atoi(t + k + 1) + 1;
    int aex = ex < 0 ? -ex : ex;
    char exp_text[8];
    int ne;
    if (aex <= 99)
        ne = std::snprintf(exp_text, sizeof exp_text, "E%c%02d", ex < 0 ? '-' : '+', aex);
    else if (aex <= 999)
        ne = std::snprintf(exp_text, sizeof exp_text, "%c%03d", ex < 0 ? '-' : '+', aex);
    else
        ne = w + 1;
    if (ne > w) {
        fill(out, w, '*');
        return;
    }
    std::memcpy(body + b, exp_text, static_cast<size_t>(ne));
    b += ne;
    if (b <= w) {
        right(out, w, body, b);
    } else if (b - 1 <= w) {
        std::memmove(body + zero_at, body + zero_at + 1, static_cast<size_t>(b - zero_at - 1));
        right(out, w, body, b - 1);
    } else {
        fill(out, w, '*');
    }
}

// Gw.d: E form for magnitudes below 0.1 (not zero) or of 10**d and more;
// otherwise F(w-4).(d-i) and four blanks, i the number of integer digits the
// magnitude needs (1 for zero).
void general_field(char* out, int w, int d, double v)
{
    constexpr int trailing = 4;
    if (nonfinite_field(out, w, v))
        return;
    double mag = std::fabs(v);
    int i = -1;
    if (mag == 0) {
        i = 1;
    } else if (mag >= 0.1) {
        double up = 1;
        for (int k = 0; k <= d; ++k, up *= 10) {
            if (mag < up) {
                i = k;
                break;
            }
        }
    }
    if (i < 0 || i > d) {
        exponent_field(out, w, d, v);
        return;
    }
    if (w <= trailing) {
        fill(out, w, '*');
        return;
    }
    fixed_field(out, w - trailing, d - i, v);
    fill(out + (w - trailing), trailing, ' ');
}

// Aw: the first w characters of the item, or the item right-justified when it
// is shorter.  A NUL ends the item's text; the rest of its field counts as
// blanks.
void text_field(char* out, int w, const char* s, int len)
{
    int start = 0;
    if (len < w) {
        fill(out, w - len, ' ');
        start = w - len;
    }
    bool ended = false;
    for (int k = 0; start + k < w; ++k) {
        if (!ended && s[k] == '\0')
            ended = true;
        out[start + k] = ended ? ' ' : s[k];
    }
}

// List-directed integer: one blank and the decimal digits.
int list_integer(char* out, int v) { return std::snprintf(out, max_list_item, " %d", v); }

// List-directed real: one blank, "-" or a blank, then the magnitude with 9
// significant digits, plain for decimal exponents -4..8, else exponent form;
// trailing zeros dropped, the point always kept.
int list_real(char* out, double v)
{
    constexpr int digits = 9;
    constexpr int lowest_plain = -4;
    constexpr int highest_plain = 8;
    int n = 0;
    out[n++] = ' ';
    out[n++] = v < 0 ? '-' : ' ';
    if (!std::isfinite(v)) {
        if (std::isnan(v))
            out[1] = ' ';
        return n + std::snprintf(out + n, max_list_item - n, "%s", std::isnan(v) ? "nan" : "inf");
    }
    double mag = std::fabs(v);
    if (mag == 0)
        return n + std::snprintf(out + n, max_list_item - n, "0.");
    char t[40];
    std::snprintf(t, sizeof t, "%.*e", digits - 1, mag);
    char* e = std::strchr(t, 'e');
    int ex = std::atoi(e + 1);
    char* m;
    int mlen;
    char plain[40];
    if (ex < lowest_plain || ex > highest_plain) {
        m = t;
        mlen = static_cast<int>(e - t);
    } else {
        mlen = std::snprintf(plain, sizeof plain, "%#.*f", digits - 1 - ex, mag);
        m = plain;
    }
    while (mlen > 0 && m[mlen - 1] == '0')
        --mlen;
    std::memcpy(out + n, m, static_cast<size_t>(mlen));
    n += mlen;
    if (m == t)
        n += std::snprintf(out + n, max_list_item - n, "E%c%02d", ex < 0 ? '-' : '+',
                           ex < 0 ? -ex : ex);
    out[n] = '\0';
    return n;
}

}  // namespace varnel::output
