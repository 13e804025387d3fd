// Format-string interpreter: the FORMAT-statement notation of the reports
// (literals, nX, Iw, Fw.d, Ew.d, Gw.d, Aw, /, $, groups k(...), repeat counts).
// A format is parsed once per write into a small fixed list of edit
// descriptors; the writer walks that list, taking one value per data
// descriptor, and puts the text into a record (a unit's stream or, for tests,
// a memory buffer).  Field rules are pure functions from value to text.
#pragma once

#include <cstdio>

constexpr int fmt_max_desc = 64;    // edit descriptors in one format
constexpr int fmt_max_depth = 8;    // nesting of groups
constexpr int fmt_max_width = 512;  // widest field (w) accepted

// One edit descriptor.  code: '(' ')' group bounds, 'L' literal, 'X', 'I',
// 'F', 'E', 'G', 'A', '/', '$', ':'.
struct fmt_desc {
    char code;
    char delim;   // literal: its quote character
    int rep;      // repeat count (groups, data descriptors, '/')
    int w;        // field width (A without width: -1); nX: n
    int d;        // decimals (F, E, G); minimum digits for I (-1 if none)
    int lit;      // literal: offset of its first character in the text
    int len;      // literal: characters between the quotes (doubled quotes counted twice)
    int match;    // '(' : index of its ')'; ')' : index of its '('
};

struct fmt_list {
    fmt_desc d[fmt_max_desc];
    int n;         // descriptors in d; d[0] is the outer '(' and d[n-1] its ')'
    int revert;    // where the format restarts when values remain at its end
    const char* text;
};

// Parses fmt up to the parenthesis that closes its first one (text after it is
// ignored).  Returns 0, or -1 with a short reason in *why for a faulty format.
int fmt_parse(const char* fmt, fmt_list& out, const char** why);

// One value handed to a write operation.
struct fmt_value {
    enum kind_t { integer, real, text } kind;
    int i;
    double r;
    const char* s;  // text item: a field of len characters
    int len;
};

// The current record of an output channel.  Text goes to fp, or to mem when
// fp is null (memory records serve the tests).
struct fmt_record {
    std::FILE* fp;
    char* mem;
    int mem_cap;
    int mem_len;
    int col;       // characters written to the current record
    int pending;   // columns skipped by nX and not yet written
    bool open;     // the record holds text or was left open by $
    bool failed;   // a write to fp failed (or mem overflowed)
    int err;       // errno of the failed write
};

fmt_record fmt_file_record(std::FILE* fp);
fmt_record fmt_memory_record(char* mem, int cap);

// Writes text to the record, first turning pending skipped columns into blanks.
void rec_put(fmt_record& rec, const char* text, int n);
// Ends the record: a line feed; skipped columns at the end write nothing.
void rec_end(fmt_record& rec);

// One write operation: walks fmt with the values, ends the record unless the
// format holds $.  Returns 0, or -1 with a reason in *why (faulty format, a
// value of the wrong kind for its descriptor).
int fmt_write(fmt_record& rec, const char* fmt, const fmt_value* vals, int nval,
              const char** why);

// Field rules: each writes exactly w characters to out (no terminator).
void field_i(char* out, int w, int m, int v);
void field_f(char* out, int w, int d, double v);
void field_e(char* out, int w, int d, double v);
void field_g(char* out, int w, int d, double v);
void field_a(char* out, int w, const char* s, int len);

// List-directed items: each appends its text (with its leading blank, where
// it has one) to out and returns its length; out needs list_max_item bytes.
constexpr int list_max_item = 48;
int list_int(char* out, int v);
int list_real(char* out, double v);
